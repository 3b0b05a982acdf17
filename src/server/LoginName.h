#pragma once
#include <QString>

namespace owb::LoginName {

// The operating system's login name of the current user.
QString currentUserName();
// The user name a login proposes: the one last confirmed at a login ("config"/"userid"),
// else the login name.
QString proposedUserName();

} // namespace owb::LoginName
