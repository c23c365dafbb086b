#include "ui/shell/Accessibility.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

#include "ui/shell/TabButton.h"

namespace quillon {

QString Mnemonic(const QString& text, QChar key) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (key.isNull())
        return escaped;
    int at = escaped.indexOf(key, 0, Qt::CaseInsensitive);
    // Never put the mark in front of an escaped "&".
    while (at >= 0 && escaped.at(at) == QLatin1Char('&'))
        at = escaped.indexOf(key, at + 2, Qt::CaseInsensitive);
    if (at < 0)
        return escaped;
    escaped.insert(at, QLatin1Char('&'));
    return escaped;
}

QString PlainName(const QString& labelText) {
    QString name;
    for (int i = 0; i < labelText.size(); ++i) {
        if (labelText.at(i) == QLatin1Char('&') && i + 1 < labelText.size())
            ++i;  // "&x" is x, "&&" is "&"
        name += labelText.at(i);
    }
    name = name.trimmed();
    while (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name.trimmed();
}

void NameControl(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    if (!description.isEmpty())
        control->setAccessibleDescription(description);
}

void LabelField(QLabel* label, QWidget* field, QChar key) {
    QString plain = label->text();
    label->setText(Mnemonic(plain, key));
    label->setBuddy(field);
    if (field->accessibleName().isEmpty())
        field->setAccessibleName(PlainName(plain));
}

namespace {

// A tab button is one page tab of a tab list; its pressed state is the selected tab.
class AccessibleTab : public QAccessibleWidget {
public:
    explicit AccessibleTab(TabButton* tab) : QAccessibleWidget(tab, QAccessible::PageTab) {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            QString name = widget()->accessibleName();
            return name.isEmpty() ? PlainName(static_cast<TabButton*>(widget())->text()) : name;
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = static_cast<TabButton*>(widget())->IsPressed();
        return s;
    }
};

QAccessibleInterface* ShellFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("quillon::TabButton") && object && object->isWidgetType())
        return new AccessibleTab(static_cast<TabButton*>(object));
    return nullptr;
}

}  // namespace

void InstallAccessibleFactories() {
    static const bool installed = (QAccessible::installFactory(ShellFactory), true);
    (void)installed;
}

}  // namespace quillon
