// What a field accepts: sizes in characters, zero-length texts, dates; and rows
// that cannot fit a page.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

void ExpectFailure(int32_t number, const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "expected failure " << number;
  } catch (const Failure& f) {
    EXPECT_EQ(f.Number(), number) << f.Description();
    EXPECT_FALSE(f.Description().empty());
  }
}

class FieldRules : public ::testing::Test {
 protected:
  void SetUp() override {
    card_ = CreateCardDatabase(dir_.File("rules.mdb"));
    card_.rs->AddNew();
  }
  void Set(int16_t position, const std::u16string& text) { card_.rs->SetValue(position, text); }

  TempDir dir_;
  CardDatabase card_;
};

TEST_F(FieldRules, TextSizesCountCharactersNotBytes) {
  struct Limit {
    int16_t position;
    size_t size;
  };
  // Postal codes 15 (but HomePostalCode 55), phones 31, Categories 255, names 55.
  for (const Limit& l : {Limit{11, 15}, Limit{23, 15}, Limit{17, 55}, Limit{25, 31}, Limit{30, 31},
                         Limit{34, 255}, Limit{0, 55}, Limit{40, 55}}) {
    SCOPED_TRACE(kCardFields[l.position].name);
    Set(l.position, std::u16string(l.size, u'€'));  // two bytes each, one character
    ExpectFailure(dao::err::kFieldTooSmall,
                  [&] { Set(l.position, std::u16string(l.size + 1, u'a')); });
  }
  // A memo is not held to its size, only to what its three-byte length can count.
  ExpectFailure(dao::err::kFieldTooSmall, [&] { Set(kNotes, std::u16string(8'388'608, u'n')); });
  Set(kNotes, std::u16string(70'000, u'n'));
  card_.rs->Update();
  EXPECT_EQ(card_.rs->RecordCount(), 1);
}

TEST_F(FieldRules, ZeroLengthTextOnlyWhereAllowed) {
  Set(0, u"");
  Set(kNotes, u"");
  ExpectFailure(dao::err::kZeroLengthNotAllowed, [&] { Set(kAnniversary, u""); });

  // A field without AllowZeroLength refuses it, text or memo alike.
  auto table = card_.db->CreateTableDef("Strict");
  table->FieldsAppend(table->CreateField("Name", dao::dbText, 10));
  table->FieldsAppend(table->CreateField("Memo", dao::dbMemo, 0));
  card_.db->TableDefsAppend(table);
  auto rs = card_.db->OpenRecordset("Strict");
  rs->AddNew();
  ExpectFailure(dao::err::kZeroLengthNotAllowed, [&] { rs->SetValue(0, u""); });
  ExpectFailure(dao::err::kZeroLengthNotAllowed, [&] { rs->SetValue(1, u""); });
  rs->SetValue(0, u" ");
  rs->Update();
}

TEST_F(FieldRules, DatesAcceptDateTextsOnly) {
  Set(kAnniversary, u"2024-02-29");
  Set(kBirthday, u"  March 3, 1990 7:05 am ");
  for (const char16_t* text : {u"2023-02-29", u"tomorrow", u"13/1/2020", u"1/2/3/4", u" "}) {
    ExpectFailure(dao::err::kTypeConversion, [&] { Set(kBirthday, text); });
  }
  card_.rs->Update();
  card_.rs->MoveFirst();
  EXPECT_EQ(std::get<dao::JetDate>(card_.rs->GetValue(kAnniversary)).days, 45351);
  // The failed assignments left the earlier value.
  EXPECT_NEAR(std::get<dao::JetDate>(card_.rs->GetValue(kBirthday)).days,
              32935 + (7 * 60 + 5) / 1440.0, 1e-9);
}

TEST_F(FieldRules, RowThatDoesNotFitFailsAndLeavesTheTableIntact) {
  Set(1, u"kept");
  card_.rs->Update();

  // Cyrillic does not compress: every text field full is over 4,132 bytes.
  card_.rs->AddNew();
  for (int16_t i = 0; i < 41; ++i) {
    if (kCardFields[i].type == dao::dbText) {
      Set(i, std::u16string(static_cast<size_t>(kCardFields[i].size), u'Ж'));
    }
  }
  ExpectFailure(dao::err::kRecordTooLarge, [&] { card_.rs->Update(); });
  // The same row with Latin text fits, its long note moved out of the row.
  card_.rs->AddNew();
  for (int16_t i = 0; i < 41; ++i) {
    if (kCardFields[i].type == dao::dbText) {
      Set(i, std::u16string(static_cast<size_t>(kCardFields[i].size), u'z'));
    }
  }
  Set(kNotes, std::u16string(1000, u'Ж'));
  card_.rs->Update();

  ASSERT_EQ(card_.rs->RecordCount(), 2);
  card_.db->Close();
  const ReaderTable read = MdbReaderRead(dir_.File("rules.mdb"), "tblCardData");
  ASSERT_EQ(read.rows.size(), 2u);
  EXPECT_EQ(read.rows[0][1], "kept");
  EXPECT_EQ(read.rows[1][kNotes], U8(std::u16string(1000, u'Ж')));
}

TEST_F(FieldRules, AssignmentsNeedAPendingRowAndAField) {
  card_.rs->Update();
  ExpectFailure(dao::err::kUpdateWithoutAddNew, [&] { Set(0, u"x"); });
  ExpectFailure(dao::err::kUpdateWithoutAddNew, [&] { card_.rs->Update(); });
  card_.rs->AddNew();
  ExpectFailure(dao::err::kItemNotFound, [&] { Set(41, u"x"); });
  ExpectFailure(dao::err::kItemNotFound, [&] { Set(-1, u"x"); });
  ExpectFailure(dao::err::kItemNotFound, [&] { card_.rs->FieldName(41); });
  // AddNew drops the unsaved row.
  Set(0, u"dropped");
  card_.rs->AddNew();
  card_.rs->Update();
  card_.rs->SetAbsolutePosition(1);
  EXPECT_TRUE(dao::IsNull(card_.rs->GetValue(0)));
}

TEST_F(FieldRules, TableDefinitionsAreChecked) {
  auto again = card_.db->CreateTableDef("TBLCARDDATA");
  again->FieldsAppend(again->CreateField("A", dao::dbText, 5));
  ExpectFailure(dao::err::kDuplicateName, [&] { card_.db->TableDefsAppend(again); });

  auto empty = card_.db->CreateTableDef("Empty");
  ExpectFailure(dao::err::kInvalidArgument, [&] { card_.db->TableDefsAppend(empty); });

  auto twice = card_.db->CreateTableDef("Twice");
  twice->FieldsAppend(twice->CreateField("A", dao::dbText, 5));
  twice->FieldsAppend(twice->CreateField("a", dao::dbMemo, 0));
  ExpectFailure(dao::err::kDuplicateName, [&] { card_.db->TableDefsAppend(twice); });

  for (auto [type, size] :
       {std::pair<int16_t, int16_t>{dao::dbText, 0}, {dao::dbText, 256}, {int16_t{4}, 4}}) {
    auto bad = card_.db->CreateTableDef("Bad");
    bad->FieldsAppend(bad->CreateField("A", type, size));
    ExpectFailure(dao::err::kInvalidArgument, [&] { card_.db->TableDefsAppend(bad); });
  }
  auto badName = card_.db->CreateTableDef("a.b");
  badName->FieldsAppend(badName->CreateField("A", dao::dbText, 5));
  ExpectFailure(dao::err::kInvalidArgument, [&] { card_.db->TableDefsAppend(badName); });
  ExpectFailure(dao::err::kItemNotFound, [&] { card_.db->OpenRecordset("Bad"); });

  card_.db->Close();
  EXPECT_EQ(MdbReaderUserTables(dir_.File("rules.mdb")), std::vector<std::string>{"tblCardData"});
}

}  // namespace
}  // namespace tessaly::test
