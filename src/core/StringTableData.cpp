#include "core/StringTableData.h"

#include "core/StringIds.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace quillon {

namespace {

// Kept in blocks by subject; the lookups use a copy sorted by id once (see SortedStrings).
const BuiltInString kStrings[] = {
    // Program names, login and gateway reachability
    {1024, "Quillon"},
    {1025, "SMS"},
    {1027, "Failed to communicate with the the server.  Please make sure that you are on-line!"},
    {1028, "Login failed ..."},
    // Personalisation placeholders
    {1029, "<<FIRSTNAME>>"},
    {1030, "<<SURNAME>>"},
    {1031, "<<TITLE>>"},
    {1032, "<<CUSTOM>>"},
    // Local time of a message: day, month, year, hour, minute
    {1033, "%1!02d!/%2!02d!/%3!d! %4!02d!:%5!02d!"},
    // Password recovery and login
    {1056, "Your password has been sent to you via e-mail.  Please see Help if you still have problems."},
    {1057,
     "Notifying the SMS gateway operator of your lost password failed.  Please try again.\r\n"
     "If the problem persists please contact the gateway operator's Technical Support."},
    {1058, "Unknown username or password!"},
    // Address book dialogs
    {1088, "ADD NEW MEMBER"},
    {1089, "EDIT MEMBER DETAILS"},
    {1104, "ADD NEW GROUP"},
    {1105, "EDIT GROUP NAME"},
    // Proxy failures and the outbox tab
    {1136,
     "The application was unable to configure the proxy settings for the communication channel.\r\n\r\n"
     "Please contact support at the URL below to have the matter resolved."},
    {1137, "Proxy setup error ..."},
    {1138, "Outbox (>999)"},
    {1139, "Outbox (%d)"},
    {1140,
     "Failed to communicate with the proxy server.  Check the proxy name and the port.  You might also still be "
     "offline."},
    {1141, "Failed to communicate via the proxy server.  You might have to supply a proxy username and password."},
    // Address book
    {1168, "Name"},
    {1169, "Surname"},
    {1170, "Mobile No."},
    {1171, "Create a group before you add contacts into it."},
    {1172, "Create a group before you upload contacts into it."},
    {1173, "Need a group"},
    {1174, "There is nothing to export"},
    {1175, "Export failed"},
    {1176, "Confirm Group Delete"},
    {1177, "Are you sure you want to delete the %1!s! group and all its %2!d! members?"},
    {1178, "Confirm Contact Delete"},
    {1179, "Are you sure you want to delete %d contact(s)?"},
    // Worker progress
    {1184, "Communicating to server ..."},
    {1185, "Performing escalation"},
    {1186, "%1!s!: %2!d! of %3!d!"},
    {1187, "Sending SMS"},
    {1188, "%1!s!:%2!d! SMS to go. Expanding(%3!d!)"},
    {1189, "Querying status"},
    {1190, "%1!s!: %2!d! SMS still to check!"},
    // Auto-update
    {1200, "For the latest version of the software visit the distributors site."},
    {1201, "Update ..."},
    {1202, "Auto update failed ..."},
    {1203, "Failed to run the update automatically.  Please click on the link below or run the update by hand."},
    {1204, "The download of the update failed, please visit the following web site to download the latest version."},
    {1205, "The auto update failed, please visit the following web site to download the latest version."},
    {1206, "You have the latest version of the software."},
    {1207, "Auto update ok ..."},
    // Message status display names, code n at 1216 + n
    {1216, "Pending"},
    {1217, "Queued"},
    {1218, "Failed"},
    {1219, "Sent"},
    {1220, "Scheduled"},
    {1221, "Editing"},
    {1222, "Delay Scheduled"},
    {1223, "Scheduled on Server"},
    {1224, "Delivered to a SMS gateway"},
    {1225, "Delivered"},
    {1226, "Processing"},
    {1227, "Unknown"},
    {1228, "Expanded"},
    {1229, "Error with message"},
    {1230, "User cancelled msg delivery"},
    {1231, "Error delivering message"},
    {1232, "Routing error"},
    {1233, "Message expired"},
    // The catch-all group and the clipboard copy of one message
    {1248, "All Contacts"},
    {1249, "Time:     %1!s!\r\nStatus:   %2!s!\r\nCharge:   %3!s!\r\nTo:       "},
    {1250, "\r\nMessage:  "},
    {1251, "Binary message"},
    {1252, "\r\nApiMsgID: "},
    // Downloads
    {1264, "Could not open internet session\n"},
    {1265, "Could not open internet file %1!s!\n"},
    {1266, "Could not create file %1!s!\n"},
    {1267, "Could not read file %1!s!\n"},
    {1268, "Could not write to file %1!s!\n"},
    {1269, "Error while downloading file from %1!s! to %2!s!\n"},
    {1270, "Could not delete file %1!s!\tReason: %2!s!\n"},
    {1271, "Could not move file from %1!s! to %2!s!.\tReason: %3!s!\n"},
    // Outbox export
    {1280, "*.txt"},
    {1281, "Outbox.txt"},
    {1282, "Text Files (*.txt)\n*.txt\nAll Files (*.*)\n*.*\n\n"},
    {1283, "Unable to open '%1!s!' for writing!"},
    {1284, "Unable to export!"},
    {1285, "==========\nPlease note: For COMPREHENSIVE MESSAGE REPORTING, please draw an on-line report.\n=========="},
    {1286, "Failed to export the outbox.  Please try again.\n\nIf the problem persists please contact support."},
    {1287, "Your outbox was exported!"},
    // Contact export
    {1296, "*.csv"},
    {1297, "Contacts.csv"},
    {1298, "CSV Files (*.csv)\n*.csv\nAll Files (*.*)\n*.*\n\n"},
    {1299, "Export done"},
    {1300, "All contacts in selected groups have been exported!"},
    {1301, "Unable to open '%1!s!' for writing!"},
    {1302, "Export failed!"},
    {1303, "Unable to export your contacts.  Please try again.\n\nIf the problem persists the contact support."},
    // Message kinds, code n at 1312 + n
    {1312, "Text"},
    {1313, "Flash"},
    {1314, "Unicode"},
    {1315, "Nokia Ringtone"},
    {1316, "Nokia Pic Msg"},
    {1317, "Nokia Operator Logo"},
    {1318, "Nokia vCard"},
    {1319, "Nokia vCal"},
    {1320, "Binary"},
    // Compose pane
    {1321, "ADDRESS BOOK"},
    {1322, "OUTLOOK"},
    {1323, "RECENT"},
    {1325, "*.txt"},
    {1326, "Text Files (*.txt)\n*.txt\nAll Files (*.*)\n*.*\n\n"},
    {1327, "*.mid"},
    {1328, "MIDI Files (*.mid)\n*.mid\nAll Files (*.*)\n*.*\n\n"},
    {1329, "*.gif"},
    {1330, "1-bit GIF Files (*.gif)\n*.gif\nAll Files (*.*)\n*.*\n\n"},
    {1331, "Not enough info to send SMS"},
    {1332, "No destination mobile numbers selected"},
    {1333, "Balance: %1!d!.%2!d!%3!s!"},
    {1334, "Send >>"},
    {1335, "Update >>"},
    {1336, "Address Book search failed ..."},
    {1337, "MAPI failed to query your Address Book."},
    {1338, "Direct"},
    {1339, "Import failed"},
    {1340, "Failed to import and convert the data into hex.\nFilename: %1!s!\nError:"},
    {1341, "The filename is to short."},
    {1342, "Failed to determine the file length.  Either the file does not exist or it can't be accessed!"},
    {1343, "Failed to open the file."},
    {1344, "Failed to read the contents of the file."},
    {1345, "Unknown error!"},
    {1346, "The file is not a regular file (a folder, pipe or device)."},
    {1347, "The file is too large: at most %1!d! bytes can be imported."},
    // Start-up
    {1360, "SMS Client failed to start..."},
    {1361, "Unable to configure internal Database.  Aborting!"},
    {1362,
     "The SMS communication layer could not be initialized.\r\nPlease reinstall the application.\r\n"
     "If the problem persists please contact Technical Support."},
    // Proxy kinds 1 to 4: name, then description
    {1376, "Directly connect to the Internet"},
    {1377, "Resolves all host names locally."},
    {1378, "Proxy config from registry"},
    {1379, "Retrieves the proxy or direct configuration from the registry."},
    {1380, "Proxy config from registry, no scripts"},
    {1381,
     "Retrieves the proxy or direct configuration from the registry and prevents the use of a startup JScript or "
     "Internet Setup (INS) file."},
    {1382, "Use proxy list"},
    {1383, "Passes requests to the entered proxy server. You need to enter a hostname and a port."},
    {1384, "Proxy configuration ..."},
    {1385,
     "The proxy settings are correct.  The proxy was able to communicate with the proxy server and with the SMS "
     "server."},
    // Options pane: vouchers and balance
    {1392, "Not online"},
    {1394, "Invalid voucher!"},
    {1395, "Your voucher number is not long enough.  Please re-enter the number"},
    {1396, "The voucher with the entered number has already been redeemed."},
    {1398, "Balance: %1!d!.%2!d!%3!s!"},
    // Outbox view and commands
    {1408, "Sent"},
    {1409, "Recipient"},
    {1410, "Status"},
    {1411, "Message"},
    {1412, "Query failed"},
    {1413, "Unable to go online and query the status of the highlighted outbox items!"},
    {1414, "Send Now failed"},
    {1415, "Unable to go online and send the highlighted outbox items!"},
    {1416, "Unable to go online and send the outbox items!"},
    {1417, "Confirm Message Delete"},
    {1418, "Are you sure you want to delete %1!d! message(s)?"},
    {1421, "Export failed"},
    {1422, "There is nothing to export"},
    {1423, "Charge"},
    {1424,
     "Are you sure you want to delete %1!d! message(s)?\n\nNOTE: One or more messages are already scheduled to the "
     "server and can NOT be delete\nwithin 10 minutes of the scheduled delivery time. If there is sufficient time "
     "before your scheduled\ndelivery date the messages will be deleted from the server and from the Outbox.\n\n"
     "Please contact our support team if you require any further information on the status of these messages."},
    // Contact import
    {1440, "Comma"},
    {1441, "Semicolon"},
    {1442, "Tab"},
    {1443, "*.*"},
    {1444, "All Files (*.*)\n*.*\n\n"},
    {1445, "Importing ..."},
    {1446,
     "Finished importing new contacts!\n\n(%1!d!) items where inserted into the database\nand (%2!d!) item were "
     "discarded."},
    // Schedule dialog
    {1456, "Month"},
    {1457, "January"},
    {1458, "February"},
    {1459, "March"},
    {1460, "April"},
    {1461, "May"},
    {1462, "June"},
    {1463, "July"},
    {1464, "August"},
    {1465, "September"},
    {1466, "October"},
    {1467, "November"},
    {1468, "December"},
    {1469, "Day"},
    {1470, "Hour"},
    {1471, "Min"},
    {1472, "Monday"},
    {1473, "Tuesday"},
    {1474, "Wednesday"},
    {1475, "Thursday"},
    {1476, "Friday"},
    {1477, "Saturday"},
    {1478, "Sunday"},
    {1479, "1st"},
    {1480, "2nd"},
    {1481, "3rd"},
    {1482, "4th"},
    // Version information
    {1488, "Version: %1!d!.%2!d!.%3!d!.%4!d!"},
    {1489, "Comms: %1!s!"},
    // External address books
    {1504, "Can not access Address Book"},
    {1505, "Failed to open the Outlook/MAPI Address Book. Make sure that you have one defined!"},
    {1506, "Failed to open the Windows Address Book. Make sure that you have one defined!"},
    // Message status explanations, code n at 1520 + n
    {1520, "The message is waiting to be sent to the distribution server."},
    {1521, "SMS is ready to be sent to the server."},
    {1522, "The message could not be delivered."},
    {1523, "Message has been sent to the server."},
    {1524, "The message is scheduled to be sent at a later time."},
    {1525, "You are busy editing this message."},
    {1526, "The message will be queued on the server X days before it is to be delivery to the mobile."},
    {1527, "The message has been queud on the server, and will be sent when its delivery time has arrived."},
    {1528, "The message has left the server and is in the mobile network."},
    {1529, "The message has been delivered to the mobile device."},
    {1530, "Currently worked on message"},
    {1531, "The status of the message is not known yet."},
    {1532, "This multi-destination messgage has been processed into its individual parts."},
    {1533, "Failed SMS: There was an error with the SMS contents."},
    {1534, "Failed SMS: You cancelled the SMS before it was delivered."},
    {1535, "Failed SMS: Unable to deliver the SMS."},
    {1536, "Failed SMS: Unable to route the SMS, maybe the number is incorrect."},
    {1537, "Failed SMS: The SMS has expired before it could be delivered."},
    // Worker errors
    {1584, "An unforseen error has occured.  Please retry the operation."},
    {1585,
     "Could not delete %1!d! messages from the server.\nIt is possible that they are in the process of being "
     "sent.\nA status request of these messages has been scheduled."},
    // Captions and labels of the desktop shell (ids of core/StringIds.h)
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
    {kTextDatabaseMovedReport,
     "The database %1!s! could not be read. It was moved to %2!s! and a new, empty database was created."},
    // Online services: the update check, the version dialog
    {kTextUpdateProgressTitle, "Checking for updates ..."},
    {kTextUpdateStepContacting, "Contacting update server"},
    {kTextUpdateStepLooking, "Looking for new update"},
    {kTextUpdateStepDownloading, "Downloading update"},
    {kTextUpdateStepInstalling, "Update downloaded, installing"},
    {kTextDownloadedKb, "%dKB"},
    {kTextCopy, "&Copy"},
    {kTextVersionQt, "Qt: %1!s!"},
    {kTextVersionSqlite, "SQLite: %1!s!"},
    {kTextVersionCurl, "libcurl: %1!s!"},
    // One sender per data directory; a damaged store and its salvage.
    {kTextWentOffLine, "Went off line: the session with the gateway was lost and could not be renewed."},
    {kTextDataDirInUseCaption, "Data directory in use ..."},
    {kTextDataDirInUse,
     "The data directory %1!s! is in use by %2!s! (process %3!d!). Only one program at a time may send from it."},
    {kTextDataDirInUseUnknown,
     "The data directory %1!s! is in use by another program. Only one program at a time may send from it."},
    {kTextStoreDamagedCaption, "Damaged database ..."},
    {kTextStoreDamaged, "The database %1!s! is damaged: %2!s!."},
    {kTextSalvageOffer,
     "Salvage it now? Every message, contact and group that can still be read is copied into a new database, "
     "and the damaged file is kept beside it under a dated name.\nNo closes the program and leaves the file as it "
     "is."},
    {kTextSalvageReport,
     "The damaged database was kept as %1!s!. Saved into the new database: %2!d! messages, %3!d! groups, %4!d! "
     "contacts, %5!d! group memberships."},
    {kTextSalvageFailed, "The database could not be salvaged: %1!s!."},
    {kTextStoreDamagedWhileRunning,
     "The database %1!s! is damaged: %2!s!. Changes can no longer be saved. Close the program and start it "
     "again to salvage what can still be read."},
    {kTextSalvageCaption, "Database salvaged ..."},
};

// Sorted once, at first use, so FindBuiltInString may search by halves whatever order the blocks have.
const std::vector<BuiltInString>& SortedStrings() {
    static const std::vector<BuiltInString> sorted = [] {
        std::vector<BuiltInString> v(std::begin(kStrings), std::end(kStrings));
        std::stable_sort(v.begin(), v.end(),
                         [](const BuiltInString& a, const BuiltInString& b) { return a.id < b.id; });
        return v;
    }();
    return sorted;
}

}  // namespace

const BuiltInString* BuiltInStrings(size_t& count) {
    count = SortedStrings().size();
    return SortedStrings().data();
}

const char* FindBuiltInString(int id) {
    const auto& table = SortedStrings();
    auto it = std::lower_bound(table.begin(), table.end(), id,
                               [](const BuiltInString& s, int value) { return s.id < value; });
    if (it == table.end() || it->id != id)
        return nullptr;
    return it->text;
}

}  // namespace quillon
