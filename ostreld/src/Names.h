#pragma once

namespace ostreld {

inline constexpr const char *kOslUri = "http://namespaces.ostrel.org/ostrel/response2";
inline constexpr const char *kOsdUri = "http://namespaces.ostrel.org/ostrel/schema-definition";
inline constexpr const char *kXqlUri = "http://namespaces.ostrel.org/xql";
inline constexpr const char *kXsUri = "http://www.w3.org/2001/XMLSchema";

// The system collection that holds a database's schemas.
inline constexpr const char *kSchemaCollection = "osl:collection";

// Return values of the envelope; the code attribute is "OSL" + the number.
enum Code : int {
    Ok = 0,
    NotWellFormed = 8101,
    UnknownDoctype = 8102,
    IdNotStored = 8103,
    BadId = 8104,
    BadSchema = 8105,
    EntityRefused = 8106,
    TooDeep = 8107,
    MissingParameter = 8201,
    BadCharset = 8202,
    BadXPath = 8301,
    UnknownPrefix = 8302,
    NotNodeSet = 8303,
    QueryLimit = 8304,
    NonXmlRefused = 8401,
    NoFileName = 8402,
    TooLarge = 8501,
    Unauthorized = 8601,
    NotFound = 8701,
    BadRequest = 8702,
    Internal = 8901,
};

} // namespace ostreld
