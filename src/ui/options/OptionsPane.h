// The options pane: the saved settings in sections, working on line or off line, voucher
// redemption, buying credits and the help page. The main window loads it when it becomes
// current and saves it when it stops being current.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "ui/options/ProxyDialog.h"
#include "ui/shell/Pane.h"

class QGroupBox;
class QHBoxLayout;

namespace quillon {

class BalanceLabel;
class CheckControl;
class CommsWorker;

// The four voucher groups after `pasted` went into group `first` (0 to 3): only letters and digits
// count; a whole 16-character code fills all four groups, a shorter text fills groups of four from
// `first` on, the last group taking what is left. Groups not reached keep their `current` text.
std::array<QString, 4> SpreadVoucher(const QString& pasted, int first, const std::array<QString, 4>& current);

class OptionsPane : public Pane {
    Q_OBJECT
public:
    // `worker` sends what is pending when the pane takes the program on line; null in tests.
    explicit OptionsPane(CommsWorker* worker = nullptr, QWidget* parent = nullptr);

    void LoadOptions();
    // The proxy controls alone, from the settings: after the proxy dialog changed them, so that
    // saving the pane does not hand the old proxy back to the gateway.
    void LoadProxyControls();
    void SaveOptions();
    void RedeemVoucher();
    void ClearVoucher();
    void BuyCredits();
    void OpenHelp();
    // "Test": applies the proxy controls and asks the gateway to verify them; a refused choice
    // is undone unless the user keeps it.
    void TestProxy();
    // A code pasted into voucher group `edit`, spread over the groups.
    void PasteVoucher(QLineEdit* edit, const QString& text);
    // "Browse..." of the vCard source: a file or a folder.
    void BrowseVCard(bool folder);

    void Activate() override { LoadOptions(); }
    void Deactivate() override { SaveOptions(); }
    BalanceLabel* Balance() override { return balance_; }

    // The worker lost the session or finished a list that went on line only for itself: work off
    // line from now on.
    void GoOffline();

signals:
    // Saving chose on line or off line, or GoOffline ran: the main window shows it.
    void onLineChanged(bool online);
    // "Update Balance" of the pane's balance label.
    void balanceChangeRequested();

private:
    CommsWorker* worker_;
    class SecurityNote* securityNote_ = nullptr;

    // The sections of the pane, built in tab order.
    QGroupBox* BuildPreferences();
    QGroupBox* BuildSendOptions();
    QGroupBox* BuildScheduleDefaults();
    QHBoxLayout* BuildOkRow();
    QGroupBox* BuildExtraSettings();
    QGroupBox* BuildProxySettings();
    QGroupBox* BuildVoucher();
    QHBoxLayout* BuildAccountRow();
    void ConnectControls();

    void UpdateEnabling();
    ProxyChoice ProxyControls() const;
    void ShowBalance();

    QLineEdit* prefix_;
    QLineEdit* signature_;
    CheckControl* spanSms_;
    CheckControl* writeLog_;
    QCheckBox* startMinimised_;
    QLineEdit* senderId_;
    CheckControl* deliveryAcks_;
    CheckControl* trackFailed_;
    QRadioButton* online_;
    QRadioButton* offline_;
    QRadioButton* upload_;
    QComboBox* uploadDays_;
    QRadioButton* keepLocal_;
    QRadioButton* sourceMapi_;
    QRadioButton* sourceWab_;
    QLineEdit* profileName_;
    QLineEdit* profilePassword_;
    QLineEdit* vcardPath_;
    QPushButton* browseVCard_;
    QComboBox* proxyKind_;
    QLineEdit* proxyHost_;
    QLineEdit* proxyPort_;
    QLineEdit* proxyUser_;
    QLineEdit* proxyPassword_;
    QPushButton* proxyTest_;
    std::array<QLineEdit*, 4> voucher_{};
    QPushButton* redeem_;
    QPushButton* clearVoucher_;
    QPushButton* buyCredits_;
    BalanceLabel* balance_;
    QPushButton* help_;
    QPushButton* ok_;
};

}  // namespace quillon
