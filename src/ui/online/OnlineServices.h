// Hooks the online services into the main window: the tray's update check and version dialog,
// and the branding download after every successful login.
#pragma once

namespace quillon {

class MainWindow;

// Until RemoveOnlineServices, the window must outlive the hooks.
void InstallOnlineServices(MainWindow& window);
void RemoveOnlineServices();

}  // namespace quillon
