// TAddPageForm: the window that asks for a new page's name, title, description and keywords.
// OK is enabled only while the name, trimmed, is not empty.
// Created by the host for one modal run; GUI thread only.
#pragma once

#include "core/Host.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace pw::ui {

class TAddPageForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAddPageForm(QWidget* parent = nullptr);

  TAddPageFields Fields() const;
  void SetFields(const TAddPageFields& fields);
  QPushButton& OkButton() { return *FOkButton; }

 private:
  QLineEdit* AddField(const char* name, const char* label);

  QLineEdit* FNameEdit;
  QLineEdit* FTitleEdit;
  QLineEdit* FDescriptionEdit;
  QLineEdit* FKeywordsEdit;
  QPushButton* FOkButton;
};

}  // namespace pw::ui
