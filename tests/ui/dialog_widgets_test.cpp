#include "ui/dialog_widgets.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>
#include <vector>

#include "ui/text_codec.h"
#include "ui/ui_test_registry.h"

namespace vorna {

class DialogWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void UpDownShowsOnlyItsArrowsAndIsSetQuietly() {
    UpDown spin(-2, 3);
    QVERIFY(spin.findChild<QLineEdit*>()->isHidden());
    QSignalSpy reported(&spin, &QSpinBox::valueChanged);
    // The program moving it is no step of the user's, and the range still holds.
    SetQuietly(&spin, -50);
    QCOMPARE(spin.value(), -2);
    QVERIFY(reported.isEmpty());
  }

  // The conversions are the core's; here the widget's side of them: UTF-16 text in and out,
  // and the validator that lets through only names a model can store.
  void Cp932TextRoundTripsAndIsValidated() {
    std::string bytes = "kept";
    QVERIFY(!ToCp932(QString::fromUtf8("a😀"), &bytes));
    QCOMPARE(bytes, std::string("kept"));
    QVERIFY(ToCp932(QString::fromUtf8("ﾆｭｯﾄ腕"), &bytes));
    QCOMPARE(bytes, std::string("\xC6\xAD\xAF\xC4\x98\x72"));
    QCOMPARE(FromCp932(bytes), QString::fromUtf8("ﾆｭｯﾄ腕"));
    QVERIFY(!FitsCp932(QString::fromUtf8("Ä")));

    Cp932Validator validator(4, nullptr);
    int position = 0;
    QString fits = QString::fromUtf8("ab腕");
    QString too_long = QString::fromUtf8("ab腕c");
    QString foreign = QString::fromUtf8("é");
    QCOMPARE(validator.validate(fits, position), QValidator::Acceptable);
    QCOMPARE(validator.validate(too_long, position), QValidator::Invalid);
    QCOMPARE(validator.validate(foreign, position), QValidator::Invalid);
  }
};

VORNA_UI_TEST(DialogWidgetsTest)

}  // namespace vorna

#include "dialog_widgets_test.moc"
