#pragma once
#include <string>
#include <string_view>

#include "Envelope.h"
#include "Names.h"
#include "Repository.h"

// The repository's answers, shared by its reading and its writing half.
namespace ostreld::answers {

inline Outcome answer(std::string_view children, int status = 200)
{
    Outcome o;
    o.status = status;
    o.body = envelope::wrap(children);
    return o;
}

inline Outcome fail(int code, std::string_view reason, int status = 200)
{
    return answer(envelope::failure(code, reason), status);
}

inline Outcome noCollection(const std::string &db, const std::string &coll)
{
    return fail(NotFound, "Collection " + coll + " does not exist in database " + db, 404);
}

} // namespace ostreld::answers
