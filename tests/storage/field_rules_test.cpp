// What a field accepts: sizes in characters, zero-length texts, dates; rows that
// cannot fit a page; table definitions.

#include <string>

#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

class FieldRules : public CardDb {
 protected:
  void SetUp() override {
    Create();
    rs_->AddNew();
  }
  int32_t Set(int16_t at, const std::u16string& s) {
    return FailureNumber([&] { rs_->SetValue(at, s); });
  }
};

TEST_F(FieldRules, TextSizesCountCharactersNotBytes) {
  // Postal codes 15 (but HomePostalCode 55), phones 31, Categories 255, names 55.
  const std::pair<int16_t, size_t> limits[] = {{11, 15}, {23, 15},  {17, 55}, {25, 31},
                                               {30, 31}, {34, 255}, {0, 55},  {40, 55}};
  for (const auto& [position, size] : limits) {
    SCOPED_TRACE(kExpectedColumns[static_cast<size_t>(position)].name);
    EXPECT_EQ(Set(position, std::u16string(size, u'€')), 0);  // 2 bytes, 1 character
    EXPECT_EQ(Set(position, std::u16string(size + 1, u'a')), dao::err::kFieldTooSmall);
  }
  // A memo is held not to its size but to what its three-byte length can count.
  EXPECT_EQ(Set(kNotes, std::u16string(8'388'608, u'n')), dao::err::kFieldTooSmall);
  EXPECT_EQ(Set(kNotes, std::u16string(70'000, u'n')), 0);
  rs_->Update();
  EXPECT_EQ(rs_->RecordCount(), 1);
}

TEST_F(FieldRules, ZeroLengthOnlyWhereAllowedAndDatesOnlyFromDateTexts) {
  EXPECT_EQ(Set(0, u""), 0);
  EXPECT_EQ(Set(kNotes, u""), 0);
  EXPECT_EQ(Set(kAnniversary, u""), dao::err::kZeroLengthNotAllowed);
  EXPECT_EQ(Set(kAnniversary, u"2024-02-29"), 0);
  EXPECT_EQ(Set(kBirthday, u"  March 3, 1990 7:05 am "), 0);
  // Date texts are date_text_test's; a blank is no empty text for a date field.
  EXPECT_EQ(Set(kBirthday, u"2023-02-29"), dao::err::kTypeConversion);
  EXPECT_EQ(Set(kBirthday, u" "), dao::err::kTypeConversion);
  rs_->Update();
  rs_->MoveFirst();
  EXPECT_EQ(std::get<dao::JetDate>(rs_->GetValue(kAnniversary)).days, 45351);
  // The failed assignments left the earlier value.
  EXPECT_NEAR(std::get<dao::JetDate>(rs_->GetValue(kBirthday)).days, 32935 + (7 * 60 + 5) / 1440.0,
              1e-9);

  // A field without AllowZeroLength refuses it, text or memo alike.
  auto table = db_->CreateTableDef("Strict");
  table->FieldsAppend(table->CreateField("Name", dao::dbText, 10));
  table->FieldsAppend(table->CreateField("Memo", dao::dbMemo, 0));
  db_->TableDefsAppend(table);
  rs_ = db_->OpenRecordset("Strict");
  rs_->AddNew();
  EXPECT_EQ(Set(0, u""), dao::err::kZeroLengthNotAllowed);
  EXPECT_EQ(Set(1, u""), dao::err::kZeroLengthNotAllowed);
  EXPECT_EQ(Set(0, u" "), 0);
}

TEST_F(FieldRules, RowThatDoesNotFitFailsAndLeavesTheTableIntact) {
  CardRow kept = EmptyRow(), tooLarge = EmptyRow(), fits = EmptyRow();
  kept[1] = u"kept";
  for (size_t i = 0; i < kExpectedColumns.size(); ++i) {
    const auto size = static_cast<size_t>(kExpectedColumns[i].size);
    if (IsTextColumn(i))
      tooLarge[i] = std::u16string(size, u'Ж'), fits[i] = std::u16string(size, u'z');
  }
  fits[kNotes] = std::u16string(1000, u'Ж');
  Add(kept);
  // Cyrillic does not compress: every text field full is over 4,132 bytes.
  EXPECT_EQ(FailureNumber([&] { Add(tooLarge); }), dao::err::kRecordTooLarge);
  Add(fits);  // the same with Latin text fits, its long note moved out of the row
  db_->Close();
  ExpectReadersShow(path_, {Shown(kept), Shown(fits)});
}

TEST_F(FieldRules, MisuseFailsWithoutSideEffects) {
  rs_->Update();
  EXPECT_EQ(Set(0, u"x"), dao::err::kUpdateWithoutAddNew);
  EXPECT_EQ(FailureNumber([&] { rs_->Update(); }), dao::err::kUpdateWithoutAddNew);
  rs_->AddNew();
  EXPECT_EQ(Set(kFieldCount, u"x"), dao::err::kItemNotFound);
  EXPECT_EQ(Set(-1, u"x"), dao::err::kItemNotFound);
  Set(0, u"dropped");
  rs_->AddNew();  // drops the unsaved row
  rs_->Update();
  rs_->SetAbsolutePosition(1);
  EXPECT_TRUE(dao::IsNull(rs_->GetValue(0)));

  // Table definitions: (name, fields as (name, type, size)) and the failure.
  using Fields = std::vector<std::tuple<const char*, int16_t, int16_t>>;
  const std::tuple<const char*, Fields, int32_t> tables[] = {
      {"TBLCARDDATA", {{"A", dao::dbText, 5}}, dao::err::kDuplicateName},
      {"Empty", {}, dao::err::kInvalidArgument},
      {"Twice", {{"A", dao::dbText, 5}, {"a", dao::dbMemo, 0}}, dao::err::kDuplicateName},
      {"Bad", {{"A", dao::dbText, 0}}, dao::err::kInvalidArgument},
      {"Bad", {{"A", dao::dbText, 256}}, dao::err::kInvalidArgument},
      {"Bad", {{"A", int16_t{4}, 4}}, dao::err::kInvalidArgument},
      {"a.b", {{"A", dao::dbText, 5}}, dao::err::kInvalidArgument},
      // The catalog indexes table names: only characters with a known key.
      {"tbl_Cards", {{"A", dao::dbText, 5}}, dao::err::kInvalidArgument},
      {"Caf\u00e9", {{"A", dao::dbText, 5}}, dao::err::kInvalidArgument},
      {"msysaces", {{"A", dao::dbText, 5}}, dao::err::kDuplicateName}};
  for (const auto& [name, fields, failure] : tables) {
    auto def = db_->CreateTableDef(name);
    for (const auto& [field, type, size] : fields)
      def->FieldsAppend(def->CreateField(field, type, size));
    EXPECT_EQ(FailureNumber([&] { db_->TableDefsAppend(def); }), failure) << name;
  }
  EXPECT_EQ(FailureNumber([&] { db_->OpenRecordset("Bad"); }), dao::err::kItemNotFound);
  db_->Close();
  ExpectOnlyCardTable(path_);
}

}  // namespace
}  // namespace tessaly::test
