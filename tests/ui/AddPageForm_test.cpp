#include "ui/AddPageForm.h"

#include "GuiApplication.h"
#include "support/QStringPrinter.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

TEST(AddPageFormTest, OkNeedsANameThatIsNotBlank) {
  GuiApplication();
  ui::TAddPageForm form;
  EXPECT_FALSE(form.OkButton().isEnabled());
  auto* name = form.findChild<QLineEdit*>("NameEdit");
  ASSERT_TRUE(name);
  const std::pair<const char*, bool> cases[] = {{" \t ", false}, {"a", true}, {"", false}, {" p.html ", true}};
  for (const auto& [text, enabled] : cases) {
    name->setText(text);
    EXPECT_EQ(form.OkButton().isEnabled(), enabled) << text;
  }
  TAddPageFields fields{"new.html", "New", "About it", "a, b"};
  form.SetFields(fields);
  EXPECT_TRUE(form.OkButton().isEnabled());
  const TAddPageFields back = form.Fields();
  EXPECT_EQ(back.Name, "new.html");
  EXPECT_EQ(back.Title, "New");
  EXPECT_EQ(back.Description, "About it");
  EXPECT_EQ(back.Keywords, "a, b");
}

}  // namespace
}  // namespace pw::tests
