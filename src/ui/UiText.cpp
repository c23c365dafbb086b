#include "ui/UiText.h"

#include <algorithm>
#include <iterator>

namespace quillon {

namespace {

struct ShellText {
    int id;
    const char* text;
};

// Sorted by id.
const ShellText kShellTexts[] = {
    // Update texts the string table may not carry yet.
    {1200, "For the latest version of the software visit the distributors site."},
    {1201, "Update ..."},
    {kTextTabSms, "SMS"},
    {kTextTabAddresses, "Addresses"},
    {kTextTabOutbox, "Outbox"},
    {kTextTabOptions, "Options"},
    {kTextMenuVersion, "Display version information"},
    {kTextMenuUpdates, "Check for latest updates"},
    {kTextMenuProxy, "Proxy Settings"},
    {kTextMenuExit, "Exit"},
    {kTextNoDataPath, "Can't find data file.\nThe application is not installed correctly.  Please reinstall!"},
    {kTextCriticalError, "Critical error..."},
    {kTextUnexpectedError,
     "An unexpected error has terminated the application. Please contact support via the URL below."},
    {kTextUnexpectedCaption, "Unexpected error ..."},
    {kTextShutdownCaption, "Shutting down ..."},
    {kTextStepCompleting, "Completing SMS sending"},
    {kTextStepStopping, "Stopping the scheduler"},
    {kTextStepSaving, "Saving database"},
    {kTextStepCompleted, "Completed!"},
    {kTextDatabaseMovedCaption, "Database recovered ..."},
    {kTextErrorCaption, "Error ..."},
    {kTextLoginHeading, "Log in to your SMS account"},
    {kTextLoginUser, "Username:"},
    {kTextLoginPassword, "Password:"},
    {kTextLoginRemember, "Remember Password:"},
    {kTextLoginOffline, "Work Off-line:"},
    {kTextOk, "OK"},
    {kTextCancel, "Cancel"},
    {kTextForgotPassword, "Forgot Password"},
    {kTextPreferences, "Preferences"},
    {kTextPrefix, "Default Country Prefix:"},
    {kTextSignature, "Signature:"},
    {kTextSpanSms, "Span Multiple SMS:"},
    {kTextWriteLog, "Write Log File:"},
    {kTextStartMinimised, "Start minimised"},
    {kTextSendOptions, "Send Options"},
    {kTextSenderId, "Sender ID:"},
    {kTextDeliveryAcks, "Send Delivery Acks"},
    {kTextTrackFailed, "Track failed SMSs"},
    {kTextWorkOnline, "I am working online (send immediately)"},
    {kTextWorkOffline, "I am working offline (send action required)"},
    {kTextScheduledDefaults, "Scheduled Messages Defaults"},
    {kTextUploadWithin, "Upload messages to server if messages are within"},
    {kTextDaysFromScheduled, "days from scheduled date."},
    {kTextKeepLocal, "Keep messages local until scheduled delivery time."},
    {kTextExtraSettings, "Extra Settings"},
    {kTextDataSource, "Data Source:"},
    {kTextSourceMapi, "Outlook/MAPI"},
    {kTextSourceWab, "WAB"},
    {kTextProfileSettings, "Outlook Profile Settings"},
    {kTextProfileName, "Profile name:"},
    {kTextProfilePassword, "Profile password:"},
    {kTextProxySettings, "HTTP Proxy Settings"},
    {kTextProxyAddress, "Address:"},
    {kTextProxyPort, "Port: "},
    {kTextProxyUsername, "Username:"},
    {kTextProxyPassword, "Password:"},
    {kTextProxyTest, "Test"},
    {kTextRedeemVoucher, "Redeem Voucher"},
    {kTextRedeem, "Redeem >>"},
    {kTextClear, "Clear"},
    {kTextBuyCredits, "Buy Credits"},
    {kTextHelp, "Help"},
    {kTextVoucherDash, "-"},
    {kTextProxyDialogTitle, "Proxy Settings"},
    {kTextProxyKind, "Connection:"},
    {kTextVersionTitle, "Version information"},
    {kTextComposePlaceholder, "Compose a message"},
    {kTextAddressesPlaceholder, "Contacts and groups"},
    {kTextOutboxPlaceholder, "Queued and sent messages"},
    {kTextClose, "Close"},
    {kTextRecoveryTitle, "Forgot Password"},
    {kTextRecoveryIntro,
     "Please insert your username and e-mail address that were used to register your account and your password "
     "will be sent to you via e-mail."},
    {kTextRecoveryUser, "Username:"},
    {kTextRecoveryEmail, "E-Mail:"},
    {kTextOfflineTip, "Working off-line"},
    {kTextUpdateBalance, "Update Balance"},
    {kTextOptionsSave, "Save"},
};

}  // namespace

const char* FindUiText(int id) {
    auto it = std::lower_bound(std::begin(kShellTexts), std::end(kShellTexts), id,
                               [](const ShellText& t, int value) { return t.id < value; });
    if (it == std::end(kShellTexts) || it->id != id)
        return nullptr;
    return it->text;
}

std::string UiText(int id) {
    std::string text = LoadResourceString(id);
    if (text != "String [" + std::to_string(id) + "]")
        return text;
    if (const char* own = FindUiText(id))
        return own;
    return text;
}

QString Text(int id) {
    return QString::fromStdString(UiText(id));
}

QString FormatText(int id, std::initializer_list<FormatArg> args) {
    return QString::fromStdString(FormatMessageText(UiText(id), args));
}

}  // namespace quillon
