// Keyboard and screen-reader helpers shared by the shell, the panes and the dialogs: mnemonics on
// texts from the string table, labels tied to their fields, accessible names and descriptions.
#pragma once

#include <QChar>
#include <QString>

class QLabel;
class QWidget;

namespace quillon {

// `text` with a mnemonic before the first occurrence of `key` (letter case ignored); an "&" already
// in the text is kept literal. Without `key` in the text the text comes back unchanged.
QString Mnemonic(const QString& text, QChar key);

// A label's text as a name: no mnemonic marks, no trailing colon or blanks.
QString PlainName(const QString& labelText);

// Sets the accessible name (and description, when given) of a control.
void NameControl(QWidget* control, const QString& name, const QString& description = {});

// Ties `label` to `field`: the label gets a mnemonic on `key` and names the field.
void LabelField(QLabel* label, QWidget* field, QChar key);

// Makes the shell's own drawn controls known to assistive technology with their proper roles
// (tab buttons as page tabs). Idempotent; start-up and the tests call it once.
void InstallAccessibleFactories();

}  // namespace quillon
