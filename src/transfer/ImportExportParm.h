#pragma once
#include <QString>

namespace owb {

class IDocumentList;

// What a document window hands to the import and export windows.
struct ImportExportParm {
    QString OstrelURI;                       // the window's collection URI
    QString doctypename;
    QString DirName;                         // the directory to start from
    IDocumentList *DatabaseList = nullptr;   // the window's document list; not owned
};

} // namespace owb
