// The start-up sequence shared by the desktop program and quillon-cli: the data directory, the
// settings, the store and the log, opened in that order, each step on its own so that a front end
// can speak between them; Close (or the destructor) takes down what was opened.
#pragma once

#include <memory>
#include <string>

#include "store/StoreSalvage.h"

namespace quillon {

class AppLog;
class MessageStore;

class StartupContext {
public:
    StartupContext();
    ~StartupContext();  // Close()
    StartupContext(const StartupContext&) = delete;
    StartupContext& operator=(const StartupContext&) = delete;

    // Makes dataDir the current directory and the data directory of every data file; false when it
    // cannot be entered.
    bool EnterDataDirectory(const std::string& dataDir);
    // Opens SMS.dat and loads the settings with the login; saveOnClose: Close writes it back.
    void OpenSettings(bool saveOnClose);
    // Opens the store in the data directory; the context owns it until Close.
    MessageStore& OpenStore();
    // With the store damaged: closes it, salvages the file (StoreSalvage.h) and opens the result.
    // The report says what was saved, or why nothing could be.
    SalvageReport SalvageStore();
    // Opens SMS.log as the program's log.
    void OpenLog();

    MessageStore* Store() const { return store_.get(); }

    // The store first (it checkpoints), then the settings file (it saves), the log last so that
    // closing the others can still be logged. Each step runs only for what was opened.
    void Close();

private:
    bool settingsOpen_ = false;
    std::unique_ptr<MessageStore> store_;
    std::unique_ptr<AppLog> log_;
};

}  // namespace quillon
