#include "ui/AddPageForm.h"

#include "ui/LocalStrings.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pw::ui {

TAddPageForm::TAddPageForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AddPageForm"));
  setWindowTitle(QStringLiteral("Add Page"));
  auto* layout = new QFormLayout(this);
  FNameEdit = AddField("Name", "Name:");
  FTitleEdit = AddField("Title", "Title:");
  FDescriptionEdit = AddField("Description", "Description:");
  FKeywordsEdit = AddField("Keywords", "Keywords:");
  FOkButton = new QPushButton(QStringLiteral("OK"), this);
  FOkButton->setObjectName(QStringLiteral("OkButton"));
  FOkButton->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(FOkButton);
  buttons->addWidget(cancel);
  layout->addRow(buttons);
  connect(FOkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  const auto enableOk = [this] { FOkButton->setEnabled(!FNameEdit->text().trimmed().isEmpty()); };
  connect(FNameEdit, &QLineEdit::textChanged, this, enableOk);
  enableOk();

  auto* strings = new TLocalStrings(this);
  QString error;
  strings->Load(QStringLiteral(":/strings/AddPageForm.ini"), &error);
}

QLineEdit* TAddPageForm::AddField(const char* name, const char* label) {
  auto* text = new QLabel(QString::fromUtf8(label), this);
  text->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name) + QStringLiteral("Edit"));
  text->setBuddy(edit);
  static_cast<QFormLayout*>(layout())->addRow(text, edit);
  return edit;
}

TAddPageFields TAddPageForm::Fields() const {
  TAddPageFields fields;
  fields.Name = FNameEdit->text();
  fields.Title = FTitleEdit->text();
  fields.Description = FDescriptionEdit->text();
  fields.Keywords = FKeywordsEdit->text();
  return fields;
}

void TAddPageForm::SetFields(const TAddPageFields& fields) {
  FNameEdit->setText(fields.Name);
  FTitleEdit->setText(fields.Title);
  FDescriptionEdit->setText(fields.Description);
  FKeywordsEdit->setText(fields.Keywords);
}

}  // namespace pw::ui
