// Texts of the desktop shell. Every text is looked up by id: first in the string table (and the
// language module), then in the shell's own table of captions and labels, which the string table
// has no ids for.
#pragma once

#include <QString>
#include <initializer_list>
#include <string>

#include "core/StringTable.h"

namespace quillon {

// Ids of the shell's captions and labels (the shell's table also carries 1200 and 1201).
enum UiTextId : int {
    kTextTabSms = 5000,
    kTextTabAddresses,
    kTextTabOutbox,
    kTextTabOptions,
    kTextMenuVersion,
    kTextMenuUpdates,
    kTextMenuProxy,
    kTextMenuExit,
    kTextNoDataPath,
    kTextCriticalError,
    kTextUnexpectedError,
    kTextUnexpectedCaption,
    kTextShutdownCaption,
    kTextStepCompleting,
    kTextStepStopping,
    kTextStepSaving,
    kTextStepCompleted,
    kTextDatabaseMovedCaption,
    kTextErrorCaption,
    kTextLoginHeading,
    kTextLoginUser,
    kTextLoginPassword,
    kTextLoginRemember,
    kTextLoginOffline,
    kTextOk,
    kTextCancel,
    kTextForgotPassword,
    kTextPreferences,
    kTextPrefix,
    kTextSignature,
    kTextSpanSms,
    kTextWriteLog,
    kTextStartMinimised,
    kTextSendOptions,
    kTextSenderId,
    kTextDeliveryAcks,
    kTextTrackFailed,
    kTextWorkOnline,
    kTextWorkOffline,
    kTextScheduledDefaults,
    kTextUploadWithin,
    kTextDaysFromScheduled,
    kTextKeepLocal,
    kTextExtraSettings,
    kTextDataSource,
    kTextSourceMapi,
    kTextSourceWab,
    kTextProfileSettings,
    kTextProfileName,
    kTextProfilePassword,
    kTextProxySettings,
    kTextProxyAddress,
    kTextProxyPort,
    kTextProxyUsername,
    kTextProxyPassword,
    kTextProxyTest,
    kTextRedeemVoucher,
    kTextRedeem,
    kTextClear,
    kTextBuyCredits,
    kTextHelp,
    kTextVoucherDash,
    kTextProxyDialogTitle,
    kTextProxyKind,
    kTextVersionTitle,
    kTextComposePlaceholder,
    kTextAddressesPlaceholder,
    kTextOutboxPlaceholder,
    kTextClose,
    kTextRecoveryTitle,
    kTextRecoveryIntro,
    kTextRecoveryUser,
    kTextRecoveryEmail,
    kTextOfflineTip,
    kTextUpdateBalance,
    kTextOptionsSave,
    kTextLastUiText
};

// The shell's own English text of `id`, or nullptr.
const char* FindUiText(int id);

// The text of `id` from the string table, else from the shell's table, else "String [id]".
std::string UiText(int id);
QString Text(int id);
QString FormatText(int id, std::initializer_list<FormatArg> args);
inline QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string S(const QString& text) {
    return text.toStdString();
}

}  // namespace quillon
