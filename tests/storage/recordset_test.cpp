// Reading rows back through our own recordset, from the file's pages.

#include <gtest/gtest.h>

#include <string>

#include "tests/storage/card_database.h"

namespace tessaly::test {
namespace {

std::u16string TextAt(dao::Recordset& rs, int16_t field) {
  return std::get<std::u16string>(rs.GetValue(field));
}

TEST(Recordset, EmptyTableHasNoCurrentRecord) {
  TempDir dir;
  CardDatabase card = CreateCardDatabase(dir.File("empty.mdb"));
  EXPECT_TRUE(card.rs->IsEOF());
  EXPECT_EQ(card.rs->RecordCount(), 0);
  EXPECT_EQ(card.rs->Index(), "");
  for (const auto& action : std::vector<std::function<void()>>{
           [&] { card.rs->MoveFirst(); }, [&] { card.rs->GetValue(0); },
           [&] { card.rs->MoveNext(); }, [&] { card.rs->SetAbsolutePosition(0); }}) {
    try {
      action();
      ADD_FAILURE() << "expected a failure";
    } catch (const Failure& f) {
      EXPECT_TRUE(f.Number() == dao::err::kNoCurrentRecord ||
                  f.Number() == dao::err::kInvalidArgument)
          << f.Number();
    }
  }
}

TEST(Recordset, ReadsWhatWasWrittenWhileWritingGoesOn) {
  TempDir dir;
  CardDatabase card = CreateCardDatabase(dir.File("interleaved.mdb"));
  dao::Recordset& rs = *card.rs;
  // Enough rows for several data pages; notes of every storage kind.
  constexpr int kRows = 600;
  auto noteFor = [](int n) {
    return std::u16string(static_cast<size_t>(n % 4 == 0   ? 9000
                                              : n % 4 == 1 ? 1500
                                                           : n),
                          static_cast<char16_t>(u'a' + n % 26));
  };
  for (int n = 0; n < kRows; ++n) {
    CardRow row = EmptyCardRow();
    row[0] = U16("#" + std::to_string(n) + " \U0001F600");  // outside the BMP too
    row[kNotes] = noteFor(n);
    AddCardRow(rs, row);
    if (n % 97 == 0) {
      rs.SetAbsolutePosition(n);
      ASSERT_EQ(TextAt(rs, 0), U16("#" + std::to_string(n) + " \U0001F600"));
    }
  }
  rs.MoveFirst();
  int n = 0;
  for (; !rs.IsEOF(); rs.MoveNext(), ++n) {
    ASSERT_EQ(TextAt(rs, 0), U16("#" + std::to_string(n) + " \U0001F600"));
    ASSERT_TRUE(TextAt(rs, kNotes) == noteFor(n)) << n;
    ASSERT_TRUE(dao::IsNull(rs.GetValue(1)));
  }
  EXPECT_EQ(n, kRows);
  // Random access for views that fetch rows as they are shown.
  for (int p : {kRows - 1, 0, 299, 300, 1}) {
    rs.SetAbsolutePosition(p);
    EXPECT_EQ(TextAt(rs, 0), U16("#" + std::to_string(p) + " \U0001F600"));
  }
  rs.SetAbsolutePosition(kRows - 1);
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
}

}  // namespace
}  // namespace tessaly::test
