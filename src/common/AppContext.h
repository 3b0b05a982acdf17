#pragma once

namespace owb {

class clsFileHandler;
class clsConnection;
class FormEncoder;
class HttpClient;
class ILogMessage;
class IMainWindow;
class RecoveryStore;
class UserInteraction;

// The process-wide objects, owned by the shell's application object and handed down to
// windows and services; nothing here is owned by the context itself.
struct AppContext {
    clsFileHandler *fileHandler = nullptr;
    clsConnection *connection = nullptr;
    FormEncoder *formEncoder = nullptr;
    HttpClient *http = nullptr;
    ILogMessage *log = nullptr;
    IMainWindow *mainWindow = nullptr;
    UserInteraction *ui = nullptr;
    RecoveryStore *recovery = nullptr;   // none: no recovery copies
};

} // namespace owb
