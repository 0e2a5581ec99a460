#include "ui/text_codec.h"

#include <QtTest>

#include "ui/ui_test_registry.h"

namespace vorna {

class TextCodecTest : public QObject {
  Q_OBJECT

 private slots:
  void RoundTripsNames() {
    const struct {
      std::string bytes;
      QString text;
    } cases[] = {
        {"Unit_001", "Unit_001"},
        {"\xC6\xAD\xAF\xC4", QString::fromUtf8("ﾆｭｯﾄ")},  // half-width katakana, one byte each
        {"\x98\x72", QString::fromUtf8("腕")},
        {"\x81\x60", QString::fromUtf8("～")},
    };
    for (const auto& c : cases) {
      QCOMPARE(FromCp932(c.bytes), c.text);
      std::string bytes;
      QVERIFY(ToCp932(c.text, &bytes));
      QCOMPARE(bytes, c.bytes);
    }
  }

  void RefusesWhatCp932CannotHold() {
    std::string bytes = "kept";
    QVERIFY(!ToCp932(QString::fromUtf8("a😀"), &bytes));
    QCOMPARE(bytes, std::string("kept"));
    QVERIFY(!FitsCp932(QString::fromUtf8("Ä")));
    // A stray trail byte and a lead byte at the end still show the rest of the name.
    QCOMPARE(FromCp932("A\xFF"
                       "B\x98"),
             QString::fromUtf8("A\uFFFDB\uFFFD"));
  }

  void ClampsWithoutSplittingCharacters() {
    const std::string name = "ab\x98\x72\x98\x72";  // "ab腕腕"
    QCOMPARE(ClampCp932(name, 3), std::string("ab"));
    QCOMPARE(ClampCp932(name, 4), std::string("ab\x98\x72"));
    QCOMPARE(ClampCp932(name, 63), name);

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

VORNA_UI_TEST(TextCodecTest)

}  // namespace vorna

#include "text_codec_test.moc"
