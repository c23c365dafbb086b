#include "ui/compose/ComposePane.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include "compose/HexImport.h"
#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "store/MessageStore.h"
#include "store/MessageType.h"
#include "ui/compose/RecipientTree.h"
#include "ui/compose/ScheduleDialog.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

constexpr int kPaneWidth = 640;
constexpr int kPaneHeight = 484;
constexpr int kHintCharacters = 8;  // characters named in the Unicode hint

// UTF-16 position of code point `index` in `text`, and back.
int Utf16Position(const QString& text, size_t index) {
    int pos = 0;
    for (size_t i = 0; i < index && pos < text.size(); ++i)
        pos += text.at(pos).isHighSurrogate() && pos + 1 < text.size() ? 2 : 1;
    return pos;
}

size_t CodePointIndex(const QString& text, int position) {
    return static_cast<size_t>(text.left(position).toUcs4().size());
}

// The To: list's edit field: digits only, at most 32.
class DigitsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName("toRowEdit");
        edit->setMaxLength(static_cast<int>(kMaxToNumberLength));
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
        return edit;
    }
};

QPushButton* Button(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(QString(text).remove('&'));
    return button;
}

// "Text Files (*.txt)\n*.txt\nAll Files (*.*)\n*.*\n\n" as a Qt filter: the descriptions joined by ";;".
QString FileFilter() {
    const QStringList parts = Text(kIdFileFilter).split('\n', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i < parts.size(); i += 2)
        filters << parts[i];
    return filters.join(";;");
}

}  // namespace

ComposePane::ComposePane(MessageStore* store, CommsWorker* worker, QWidget* parent)
    : Pane(parent), store_(store), model_(store, Settings(), worker ? WorkerQueuer(*worker) : StoreOnlyQueuer(store)) {
    setObjectName("composePane");
    setAccessibleName(Text(kTextTabSms));
    setFixedSize(kPaneWidth, kPaneHeight);
    model_.SetObserver(this);
    Build();
    RefreshFromModel();
}

ComposePane::~ComposePane() {
    model_.SetObserver(nullptr);
    if (loader_.joinable())
        loader_.join();
}

void ComposePane::Build() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(BuildMessageSide(), 11);
    layout->addWidget(BuildRecipientSide(), 9);
    // Keyboard order: the message first, then its buttons, then the recipients.
    setTabOrder(kind_, path_);
    setTabOrder(path_, browse_);
    setTabOrder(browse_, text_);
}

QWidget* ComposePane::BuildMessageSide() {
    auto* side = new QWidget(this);
    auto* v = new QVBoxLayout(side);
    v->setContentsMargins(0, 0, 0, 0);
    BuildKindFileAndText(side, v);
    BuildTokenButtons(side, v);
    BuildCounterAndButtons(side, v);
    connect(kind_, &QComboBox::currentIndexChanged, this, [this] { OnKindChanged(); });
    connect(path_, &QLineEdit::returnPressed, this, [this] { ImportPath(path_->text()); });
    connect(browse_, &QPushButton::clicked, this, &ComposePane::Browse);
    connect(text_, &QPlainTextEdit::textChanged, this, &ComposePane::OnTextChanged);
    connect(replace_, &QPushButton::clicked, this, &ComposePane::ReplaceLookalikes);
    connect(send_, &QPushButton::clicked, this, &ComposePane::Send);
    connect(schedule_, &QPushButton::clicked, this, &ComposePane::Schedule);
    connect(clear_, &QPushButton::clicked, this, &ComposePane::Reset);
    return side;
}

// The kind with the balance, the file row and the message text.
void ComposePane::BuildKindFileAndText(QWidget* side, QVBoxLayout* v) {
    auto* top = new QHBoxLayout;
    auto* kindLabel = new QLabel(Text(kTextKindLabel), side);
    kind_ = new QComboBox(side);
    kind_->setObjectName("kindList");
    kind_->setAccessibleName(QString(Text(kTextKindLabel)).remove('&').remove(':'));
    for (MessageType t : kSelectableMessageTypes)
        kind_->addItem(Q(MessageTypeName(static_cast<int32_t>(t))), static_cast<int>(t));
    kindLabel->setBuddy(kind_);
    balance_ = new BalanceLabel(side);
    balance_->setObjectName("composeBalance");
    top->addWidget(kindLabel);
    top->addWidget(kind_);
    top->addStretch();
    top->addWidget(balance_);
    v->addLayout(top);

    auto* fileRow = new QHBoxLayout;
    pathLabel_ = new QLabel(Text(kTextFileLabel), side);
    path_ = new QLineEdit(side);
    path_->setObjectName("pathEdit");
    path_->setAccessibleName(QString(Text(kTextFileLabel)).remove('&').remove(':'));
    path_->setMaxLength(4096);
    path_->setAccessibleDescription(Text(kTextA11yMessagePath));
    pathLabel_->setBuddy(path_);
    browse_ = Button(side, Mnemonic(Text(kTextBrowse), 'b'), "browseButton");
    fileRow->addWidget(pathLabel_);
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(browse_);
    v->addLayout(fileRow);

    messageLabel_ = new QLabel(Text(kTextMessageLabel), side);
    text_ = new QPlainTextEdit(side);
    text_->setObjectName("messageText");
    text_->setAccessibleName(QString(Text(kTextMessageLabel)).remove('&').remove(':'));
    text_->setTabChangesFocus(true);
    text_->installEventFilter(this);
    messageLabel_->setBuddy(text_);
    v->addWidget(messageLabel_);
    v->addWidget(text_, 1);
}

// The placeholder buttons and the signature.
void ComposePane::BuildTokenButtons(QWidget* side, QVBoxLayout* v) {
    auto* tokens = new QGridLayout;
    const std::array<std::pair<int, const char*>, 5> tokenTexts{{{kTextNameButton, "nameButton"},
                                                                 {kTextTitleButton, "titleButton"},
                                                                 {kTextSurnameButton, "surnameButton"},
                                                                 {kTextCustomButton, "customButton"},
                                                                 {kTextSignatureButton, "signatureButton"}}};
    const char tokenKeys[] = "ntrug";
    // The buttons in their layout-mask order: Name, Title, Surname, Custom, Signature.
    const std::array<int, 4> tokenIds{kIdFirstPlaceholder, kIdFirstPlaceholder + 2, kIdFirstPlaceholder + 1,
                                      kIdFirstPlaceholder + 3};
    for (size_t i = 0; i < tokenTexts.size(); ++i) {
        QPushButton* b = Button(side, Mnemonic(Text(tokenTexts[i].first), tokenKeys[i]), tokenTexts[i].second);
        b->setAccessibleDescription(Text(kTextA11yNameToken + static_cast<int>(i)));
        tokens->addWidget(b, static_cast<int>(i) / 3, static_cast<int>(i) % 3);
        tokenButtons_.push_back(b);
        if (i < tokenIds.size()) {
            const int id = tokenIds[i];
            connect(b, &QPushButton::clicked, this, [this, id] { InsertToken(UiText(id)); });
        } else {
            connect(b, &QPushButton::clicked, this, [this] { InsertToken(Settings().Sig); });
        }
    }
    v->addLayout(tokens);
}

// The counter, the alphabet hint and Send, Schedule and Clear.
void ComposePane::BuildCounterAndButtons(QWidget* side, QVBoxLayout* v) {
    auto* countRow = new QHBoxLayout;
    counter_ = new QLabel(side);
    counter_->setObjectName("counterLabel");
    alphabet_ = new QLabel(side);
    alphabet_->setObjectName("alphabetLabel");
    cost_ = new QLabel(side);
    cost_->setObjectName("costLabel");
    countRow->addWidget(counter_);
    countRow->addWidget(alphabet_);
    countRow->addStretch();
    countRow->addWidget(cost_);
    v->addLayout(countRow);

    auto* hintRow = new QHBoxLayout;
    hint_ = new QLabel(side);
    hint_->setObjectName("unicodeHint");
    hint_->setWordWrap(true);
    hint_->setStyleSheet("color: #a04000;");
    replace_ = Button(side, Text(kTextReplaceLookalikes), "replaceLookalikesButton");
    replace_->setAccessibleDescription(Text(kTextA11yReplaceLookalikes));
    hintRow->addWidget(hint_, 1);
    hintRow->addWidget(replace_);
    v->addLayout(hintRow);

    auto* buttons = new QHBoxLayout;
    send_ = Button(side, Text(kIdSendCaption), "sendButton");
    schedule_ = Button(side, Mnemonic(Text(kTextScheduleButton), 'd'), "scheduleButton");
    schedule_->setAccessibleDescription(Text(kTextA11yScheduleButton));
    clear_ = Button(side, Mnemonic(Text(kTextClearSms), 'a'), "clearButton");
    clear_->setAccessibleDescription(Text(kTextA11yClearButton));
    buttons->addWidget(send_);
    buttons->addWidget(schedule_);
    buttons->addWidget(clear_);
    v->addLayout(buttons);
}

QWidget* ComposePane::BuildRecipientSide() {
    auto* side = new QWidget(this);
    auto* v = new QVBoxLayout(side);
    v->setContentsMargins(0, 0, 0, 0);

    auto* toLabel = new QLabel(Mnemonic(Text(kTextToLabel), 'o'), side);
    toList_ = new QListWidget(side);
    toList_->setObjectName("toList");
    toList_->setAccessibleName(QString(Text(kTextToLabel)).remove(':'));
    toList_->setAccessibleDescription(Text(kTextA11yToList));
    toList_->setItemDelegate(new DigitsDelegate(toList_));
    toList_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked |
                             QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    toList_->setMaximumHeight(88);
    toList_->installEventFilter(this);
    toLabel->setBuddy(toList_);
    v->addWidget(toLabel);
    v->addWidget(toList_);

    auto* contactsLabel = new QLabel(Mnemonic(Text(kTextContactsLabel), 'c'), side);
    tree_ = new RecipientTree(store_, model_, side);
    contactsLabel->setBuddy(tree_);
    v->addWidget(contactsLabel);
    v->addWidget(tree_, 1);

    auto* searchRow = new QHBoxLayout;
    auto* searchLabel = new QLabel(Mnemonic(Text(kTextQuickSearchLabel), 'q'), side);
    search_ = new QLineEdit(side);
    search_->setObjectName("quickSearchEdit");
    search_->setAccessibleName(QString(Text(kTextQuickSearchLabel)).remove(':'));
    search_->setMaxLength(static_cast<int>(QuickSearch::kMaxTextLength));
    searchLabel->setBuddy(search_);
    searchButton_ = Button(side, Mnemonic(Text(kTextSearchButton), 'e'), "searchButton");
    searchButton_->setAccessibleDescription(Text(kTextA11yQuickSearch));
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(search_, 1);
    searchRow->addWidget(searchButton_);
    v->addLayout(searchRow);

    auto* countRow = new QHBoxLayout;
    auto* countLabel = new QLabel(Text(kTextRecipientsSelected), side);
    recipientCount_ = new QLabel("0", side);
    recipientCount_->setObjectName("recipientCount");
    recipientCount_->setAccessibleName(QString(Text(kTextRecipientsSelected)).remove(':'));
    countRow->addWidget(countLabel);
    countRow->addWidget(recipientCount_);
    countRow->addStretch();
    v->addLayout(countRow);

    connect(toList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (refreshing_)
            return;
        const int row = toList_->row(item);
        const QString text = item->text();
        // The list is rebuilt from the model, which must not happen inside the list's own signal.
        QTimer::singleShot(0, this, [this, row, text] { OnToListEdited(row, text); });
    });
    connect(tree_, &RecipientTree::selectionCountChanged, this, &ComposePane::RefreshRecipientCount);
    connect(tree_, &RecipientTree::externalBookWanted, this, &ComposePane::LoadExternalBook);
    connect(tree_, &RecipientTree::clearRecentRequested, this, [this] {
        model_.Recent().ClearRecent();
        tree_->RebuildRecent();
        RefreshRecipientCount();
    });
    connect(search_, &QLineEdit::textEdited, this, [this] { model_.QuickSearchTextChanged(); });
    connect(search_, &QLineEdit::returnPressed, this, &ComposePane::QuickSearch);
    connect(searchButton_, &QPushButton::clicked, this, &ComposePane::QuickSearch);
    return side;
}

// ---- the message ----

void ComposePane::OnKindChanged() {
    if (refreshing_)
        return;
    model_.SetKind(kind_->currentData().toInt());
    RefreshFromModel();
}

void ComposePane::OnTextChanged() {
    if (refreshing_)
        return;
    const QString now = text_->toPlainText();
    const LengthState& state = model_.SetText(S(now), CodePointIndex(now, text_->textCursor().position()));
    if (state.cut) {
        refreshing_ = true;
        const QString kept = Q(state.text);
        text_->setPlainText(kept);
        QTextCursor cursor = text_->textCursor();
        cursor.setPosition(Utf16Position(kept, state.caret));
        text_->setTextCursor(cursor);
        refreshing_ = false;
    }
    RefreshCounter();
}

void ComposePane::InsertToken(const std::string& token) {
    const QString current = text_->toPlainText();
    QTextCursor cursor = text_->textCursor();
    cursor.setPosition(Utf16Position(current, model_.CaretPos()));
    cursor.insertText(Q(token));  // an undoable edit; the model counts (and may cut) it
    model_.SetCaretPos(std::min(model_.CaretPos() + CharacterCount(token), CharacterCount(model_.Text())));
    text_->setFocus(Qt::OtherFocusReason);
}

void ComposePane::ReplaceLookalikes() {
    const std::string replaced = ReplaceGsmLookalikes(model_.Text());
    if (replaced == model_.Text())
        return;
    QTextCursor cursor = text_->textCursor();
    cursor.select(QTextCursor::Document);
    cursor.insertText(Q(replaced));  // one undoable edit
}

void ComposePane::Browse() {
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), FileFilter());
    if (path.isEmpty())
        return;
    path_->setText(path);
    ImportPath(path);
}

void ComposePane::ImportPath(const QString& path) {
    if (!IsFileBasedType(model_.Kind()))
        return;
    HexImportFailure failure{};
    if (!model_.ImportFile(S(path), failure)) {
        path_->clear();
        ShowMessage(this, MessageIcon::Error, Q(HexImportFailureCaption()), Q(HexImportFailureText(S(path), failure)));
        return;
    }
    RefreshFromModel();
}

bool ComposePane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_) {
        if (event->type() == QEvent::FocusOut) {
            model_.SetCaretPos(CodePointIndex(text_->toPlainText(), text_->textCursor().position()));
        } else if (event->type() == QEvent::FocusIn) {
            const LengthState& state = model_.ApplyLengthLimit();
            refreshing_ = true;
            if (state.cut)
                text_->setPlainText(Q(state.text));
            QTextCursor cursor = text_->textCursor();
            cursor.setPosition(Utf16Position(text_->toPlainText(), model_.CaretPos()));
            text_->setTextCursor(cursor);
            refreshing_ = false;
            RefreshCounter();
        }
    } else if (watched == toList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Backspace || key == Qt::Key_Space) {
            model_.To().Select(toList_->currentRow());
            model_.To().DeleteSelected();
            RefreshToList();
            RefreshRecipientCount();
            return true;
        }
    }
    return Pane::eventFilter(watched, event);
}

// ---- recipients ----

void ComposePane::OnToListEdited(int row, const QString& text) {
    if (row >= 0 && static_cast<size_t>(row) < model_.To().RowCount())
        model_.To().EndEdit(row, S(text));
    RefreshToList();
    RefreshRecipientCount();
    if (model_.To().Selected() >= 0)
        toList_->setCurrentRow(model_.To().Selected());
}

void ComposePane::RefreshToList() {
    refreshing_ = true;
    toList_->clear();
    for (const std::string& number : model_.To().Rows()) {
        auto* item = new QListWidgetItem(Q(number), toList_);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    refreshing_ = false;
}

void ComposePane::RefreshRecipientCount() {
    recipientCount_->setText(QString::number(model_.CountRecipients()));
    RefreshCounter();
}

void ComposePane::QuickSearch() {
    const QuickSearch::Match m = model_.QuickSearchNext(S(search_->text()), [this] {
        LoadExternalBook(false);  // read on its own thread; a later search finds its entries
        return false;
    });
    if (m.kind == QuickSearch::Match::Kind::External)
        tree_->ShowExternalEntry(m.index);
}

void ComposePane::StartMessageTo(const std::vector<int32_t>& groupIds, const std::vector<int32_t>& contactIds) {
    Reset();
    model_.SizeContactSelection();
    if (store_)
        for (int32_t gid : groupIds)
            model_.Contacts().SelectGroup(store_->Book().MembersOfGroup(gid), true);
    for (int32_t cid : contactIds)
        model_.Contacts().Select(cid, true);
    tree_->RefreshChecks();
    if (!contactIds.empty())
        tree_->ShowContact(contactIds.front());
    RefreshRecipientCount();
    text_->setFocus(Qt::OtherFocusReason);
}

void ComposePane::LoadExternalBook(bool force) {
    if (LoadingExternalBook())
        return;
    if (loader_.joinable())
        loader_.join();
    const int generation = ++loadGeneration_;
    loadFinished_ = false;
    wait_ = new QProgressDialog(Text(kTextPleaseWait), Text(kTextWaitCancel), 0, 0, this);
    wait_->setObjectName("waitWindow");
    wait_->setWindowTitle(Text(kTextPleaseWait));
    wait_->setMinimumDuration(1000);
    wait_->setAttribute(Qt::WA_DeleteOnClose);
    connect(wait_, &QProgressDialog::canceled, this, [this] {
        ++loadGeneration_;  // the result, when it comes, is dropped
        loadFinished_ = true;
        if (wait_)
            wait_->close();
    });
    QPointer<ComposePane> self(this);
    loader_ = std::thread([self, generation, force] {
        ExternalBookResult result;
        ExternalBookTree tree = quillon::LoadExternalBook(force, &result);
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, tree = std::move(tree), result]() mutable {
                if (self)
                    self->ExternalBookLoaded(generation, std::move(tree), result);
            },
            Qt::QueuedConnection);
    });
}

void ComposePane::ExternalBookLoaded(int generation, ExternalBookTree tree, ExternalBookResult result) {
    if (generation != loadGeneration_)
        return;  // cancelled meanwhile
    loadFinished_ = true;
    if (wait_)
        wait_->close();
    model_.SetOutlookEntries(tree);
    tree_->ShowExternalBook(tree);
    RefreshRecipientCount();
    if (!result.Ok())
        ShowMessageById(this, MessageIcon::Error, result.CaptionId(), result.TextId());
}

// ---- sending ----

bool ComposePane::HandleCommand(PaneCommand command) {
    if (command != PaneCommand::Send)
        return false;
    Send();
    return true;
}

bool ComposePane::ConfirmCharge(int occurrences) {
    const int64_t sms = model_.Length().count.parts * model_.CountRecipients() * occurrences;
    const int64_t credits = sms * std::max(Settings().CreditsPerPart, 0);
    const int32_t tenths = Settings().LastBalance;
    if (credits * 10 <= tenths)
        return true;
    const QString balance = QString("%1.%2").arg(tenths / 10).arg(std::abs(tenths % 10));
    return ShowMessage(
               this, MessageIcon::Warning, Text(kTextCostConfirmCaption),
               FormatText(kTextCostConfirm, {static_cast<long long>(sms), static_cast<long long>(credits), S(balance)}),
               MessageButtons::YesNo) == MessageAnswer::Yes;
}

void ComposePane::ReportCompose(const ComposeResult& result) {
    switch (result.status) {
        case ComposeStatus::kNoRecipients:
            ShowMessageById(this, MessageIcon::None, result.CaptionId(), result.TextId());
            break;
        case ComposeStatus::kTooLong:
            ShowMessageById(this, MessageIcon::Error, result.CaptionId(), result.TextId());
            break;
        default:
            break;
    }
    RefreshFromModel();
}

void ComposePane::Send() {
    if (!model_.Length().textPresent)
        return;
    // Only a send that reaches the store is charged; the box comes after the other checks.
    if (model_.CountRecipients() > 0 && model_.Length().fits && !ConfirmCharge(1))
        return;
    ReportCompose(model_.SendComposed());
}

void ComposePane::Schedule() {
    if (!model_.ScheduleEnabled())
        return;
    const ScheduleDialogRunner run = [this](ScheduleResult& result) {
        if (scheduleRunner_) {
            if (!scheduleRunner_(result))
                return false;
        } else {
            ScheduleDialog dialog(static_cast<int64_t>(std::time(nullptr)), this);
            if (dialog.exec() != QDialog::Accepted)
                return false;
            result = dialog.Result();
        }
        return ConfirmCharge(static_cast<int>(result.occurrenceTimes.size()));
    };
    ReportCompose(model_.ScheduleComposed(run));
}

void ComposePane::Reset() {
    model_.ResetComposition();
}

bool ComposePane::LoadStoredMessage(int id, bool forEdit) {
    tree_->AddressBookRoot()->setExpanded(false);
    const bool loaded = model_.LoadStoredMessage(id, forEdit);
    RefreshFromModel();
    return loaded;
}

// ---- showing the model ----

QString ComposePane::CounterText() const {
    return counter_->text();
}

void ComposePane::RefreshCounter() {
    const LengthState& state = model_.Length();
    counter_->setText(Q(state.counterText));
    int alphabetId = kTextAlphabetGsm;
    if (state.count.alphabet == SmsAlphabet::kUcs2)
        alphabetId = kTextAlphabetUcs2;
    else if (state.count.alphabet == SmsAlphabet::kData)
        alphabetId = kTextAlphabetData;
    alphabet_->setText(Text(alphabetId));
    counter_->setStyleSheet(state.fits ? QString() : QString("color: #b00000;"));
    const int recipients = model_.CountRecipients();
    cost_->setText(
        FormatText(kTextCostLine, {static_cast<long long>(state.count.parts), static_cast<long long>(recipients),
                                   static_cast<long long>(state.count.parts * recipients)}));
    QString hint;
    if (!state.nonGsm.empty()) {
        QStringList chars;
        for (size_t i = 0; i < state.nonGsm.size() && i < static_cast<size_t>(kHintCharacters); ++i) {
            const uint32_t cp = state.nonGsm[i];
            chars << (cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200B)
                          ? QString("U+%1").arg(cp, 4, 16, QChar('0')).toUpper()
                          : Q(Utf8Of(cp)));
        }
        if (state.nonGsm.size() > static_cast<size_t>(kHintCharacters))
            chars << "...";
        hint = FormatText(kTextUcs2Hint, {S(chars.join(' '))});
    }
    hint_->setText(hint);
    hint_->setVisible(!hint.isEmpty());
    int replaced = 0;
    if (!state.nonGsm.empty())
        ReplaceGsmLookalikes(model_.Text(), &replaced);
    replace_->setVisible(replaced > 0);
    send_->setEnabled(state.sendEnabled);
    schedule_->setEnabled(model_.ScheduleEnabled() && state.fits);
}

void ComposePane::RefreshFromModel() {
    refreshing_ = true;
    const int index = kind_->findData(model_.Kind());
    kind_->setCurrentIndex(index);
    const uint32_t mask = LayoutMask(index < 0 ? kNoKindSelected : model_.Kind());
    for (size_t i = 0; i < tokenButtons_.size(); ++i)
        tokenButtons_[i]->setEnabled((mask & (1u << i)) != 0);
    const bool typed = (mask & kLayoutMessageText) != 0;
    text_->setVisible(typed);
    messageLabel_->setVisible(typed);
    browse_->setVisible((mask & kLayoutBrowseButton) != 0);
    path_->setVisible((mask & kLayoutPathField) != 0);
    pathLabel_->setVisible((mask & kLayoutPathField) != 0);
    if (text_->toPlainText() != Q(model_.Text()))
        text_->setPlainText(Q(model_.Text()));
    if (model_.FilePath().empty() != path_->text().isEmpty() && model_.FilePath().empty())
        path_->clear();
    // "Send >>" or "Update >>"; "u" is taken by Custom.
    send_->setText(
        Mnemonic(Text(model_.SendButtonCaptionId()), model_.SendButtonCaptionId() == kIdSendCaption ? 's' : 'p'));
    send_->setAccessibleName(Text(model_.SendButtonCaptionId()));
    refreshing_ = false;
    RefreshToList();
    RefreshRecipientCount();
}

void ComposePane::ShowContactInTree(int32_t cid) {
    tree_->ShowContact(cid);
}

void ComposePane::OutboxChanged() {
    emit outboxChanged();
}

void ComposePane::CompositionChanged() {
    if (!tree_)
        return;  // still being built
    tree_->RefreshChecks();
    RefreshFromModel();
}

void ComposePane::Activate() {
    tree_->RebuildAddressBook();
    tree_->RefreshChecks();
    RefreshRecipientCount();
}

void ComposePane::FocusInitial() {
    text_->setFocus(Qt::OtherFocusReason);
}

}  // namespace quillon
