#include "ui/WelcomeForm.h"

#include "core/ApplicationSettings.h"
#include "core/Module.h"
#include "ui/LocalStrings.h"
#include "ui/ModuleActions.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace pw::ui {
namespace {

constexpr int kBannerWidth = 164;

// The banner: a blue band with a drawn page, so that it needs no picture file.
QPixmap Banner(int height) {
  QPixmap banner(kBannerWidth, height);
  QPainter painter(&banner);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient gradient(0, 0, 0, height);
  gradient.setColorAt(0, QColor(0x1E, 0x5A, 0xA8));
  gradient.setColorAt(1, QColor(0x7F, 0xB2, 0xE5));
  painter.fillRect(banner.rect(), gradient);
  const QRect page(42, height / 4, 80, 104);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(255, 255, 255, 235));
  painter.drawRoundedRect(page, 6, 6);
  painter.setBrush(QColor(0x1E, 0x5A, 0xA8));
  painter.drawRect(page.left() + 12, page.top() + 14, 40, 6);  // a heading
  painter.setBrush(QColor(0x9A, 0xB8, 0xD8));
  for (int line = 0; line < 6; ++line)
    painter.drawRect(page.left() + 12, page.top() + 32 + line * 11, line % 3 == 2 ? 34 : 56, 4);
  return banner;
}

}  // namespace

TWelcomeForm::TWelcomeForm(TModule& module, TModuleActions& actions, QWidget* parent)
    : QDialog(parent), FModule(module), FActions(actions) {
  setObjectName(QStringLiteral("WelcomeForm"));
  setWindowTitle(QStringLiteral("Welcome"));
  setFixedSize(472, 314);
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image"));
  image->setPixmap(Banner(height()));
  image->setFixedWidth(kBannerWidth);

  auto* title = new QLabel(QStringLiteral("Welcome to the Pagewick"), this);
  title->setObjectName(QStringLiteral("TitleLabel"));
  QFont titleFont = title->font();
  titleFont.setBold(true);
  titleFont.setPixelSize(16);
  title->setFont(titleFont);
  title->setWordWrap(true);
  auto* select = new QLabel(QStringLiteral("Please choose one of the following options:"), this);
  select->setObjectName(QStringLiteral("SelectLabel"));

  FShowCheckBox = new QCheckBox(QStringLiteral("Show This Dialog at Startup"), this);
  FShowCheckBox->setObjectName(QStringLiteral("ShowCheckBox"));
  FShowCheckBox->setChecked(ReadShowWelcomeScreenAtStartup(FModule.Config()));
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  close->setObjectName(QStringLiteral("CloseButton"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  auto* column = new QVBoxLayout;
  column->setContentsMargins(16, 16, 16, 12);
  column->addWidget(title);
  column->addSpacing(8);
  column->addWidget(select);
  column->addSpacing(8);
  column->addWidget(AddLink("GettingStartedLink", "Getting Started...", "GettingStartedAction"));
  column->addWidget(AddLink("NewSiteLink", "New Project...", "NewAction"));
  column->addWidget(AddLink("OpenLink", "Open Project...", "OpenAction"));
  column->addWidget(AddLink("HomePageLink", "Web Site...", "HomePageAction"));
  column->addStretch();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(FShowCheckBox);
  bottom->addStretch();
  bottom->addWidget(close);
  column->addLayout(bottom);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(image);
  row->addLayout(column);

  auto* strings = new TLocalStrings(this);
  QString error;
  strings->Load(QStringLiteral(":/strings/WelcomeForm.ini"), &error);
}

QToolButton* TWelcomeForm::AddLink(const char* name, const char* text, const char* actionName) {
  QAction* action = FActions.Action(QString::fromLatin1(actionName));
  auto* link = new QToolButton(this);
  link->setObjectName(QString::fromLatin1(name));
  link->setText(QString::fromUtf8(text));
  if (action) link->setIcon(action->icon());
  link->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  link->setAutoRaise(true);
  link->setCursor(Qt::PointingHandCursor);
  QPalette blue = link->palette();
  blue.setColor(QPalette::ButtonText, Qt::blue);
  link->setPalette(blue);
  connect(link, &QToolButton::clicked, this, [this, action] {
    // The modal run ends once the slot returns; the command opens its own window meanwhile.
    done(Accepted);
    if (action) action->trigger();
  });
  return link;
}

void TWelcomeForm::done(int result) {
  WriteShowWelcomeScreenAtStartup(FModule.Config(), FShowCheckBox->isChecked());
  QDialog::done(result);
}

}  // namespace pw::ui
