#pragma once
#include <QString>
#include <vector>

namespace owb {

// What a check found wrong. LineNumber is 1-based and counts lines of the text the user gave.
struct clsVerifyError {
    QString SourceText;   // the text of that line (may be empty)
    QString Reason;
    int LineNumber = 1;
    // The errors found after this one, in the order found (validation reports them all).
    std::vector<clsVerifyError> Further;
};

} // namespace owb
