// Writes typical card rows through the DAO-shaped API and reports rows/s, MB/s,
// peak RSS and file bytes per row.
//
//   bench_storage [rows (default 1000000)] [output .mdb (default: a temporary file)]

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/card_table.h"
#include "storage/dao.h"

namespace {

std::u16string U16(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

// About 300 characters of text per card; every tenth card has a multi-line note.
std::vector<std::pair<int16_t, std::u16string>> TypicalCard(size_t n) {
  const std::string id = std::to_string(n);
  std::vector<std::pair<int16_t, std::u16string>> v = {
      {0, u"Mr"},
      {1, U16("Firstname" + id)},
      {3, U16("Lastname-" + id)},
      {4, U16("Company Name " + std::to_string(n % 997) + " GmbH & Co. KG")},
      {5, u"Sales and Marketing"},
      {6, u"Senior Account Manager"},
      {7, U16(std::to_string(n % 300 + 1) + " Main Street")},
      {9, u"M\u00fcnchen"},
      {10, u"Bavaria"},
      {11, U16(std::to_string(80000 + n % 1000))},
      {12, u"Germany"},
      {13, U16(std::to_string(n % 90 + 10) + " Elm Road, Apartment 4B")},
      {15, u"Springfield"},
      {17, U16(std::to_string(10000 + n % 9000))},
      {25, U16("+49 89 555-" + std::to_string(1000 + n % 9000))},
      {26, U16("+49 89 555-" + std::to_string(2000 + n % 7000) + " x12")},
      {28, U16("(555) 010-" + std::to_string(1000 + n % 9000))},
      {31, u"6/15/1995"},
      {33, U16(std::to_string(n % 12 + 1) + "/" + std::to_string(n % 28 + 1) + "/1970")},
      {34, u"Business; Customers; Key accounts"},
      {37, u"Engineer"},
  };
  if (n % 10 == 0) {
    v.push_back({36, U16("Met at the trade fair in spring.\r\nFollow up about the offer " + id +
                         ".\r\nPrefers e-mail; call only in the afternoon.\r\n")});
  }
  return v;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1'000'000;
  std::string path = argc > 2 ? argv[2] : "";
  const bool temporary = path.empty();
  if (temporary) {
    path = (std::filesystem::temp_directory_path() /
            ("bench_storage_" + std::to_string(getpid()) + ".mdb"))
               .string();
  }
  // A pool of distinct cards, so the timing measures the engine, not the generator.
  std::vector<std::vector<std::pair<int16_t, std::u16string>>> pool;
  size_t textChars = 0;
  for (size_t n = 0; n < 1000; ++n) {
    pool.push_back(TypicalCard(n));
    for (const auto& field : pool.back()) textChars += field.second.size();
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    tessaly::dao::DBEngine engine;
    auto db = engine.CreateWorkspace("", "admin", "", tessaly::dao::dbUseJet)
                  ->CreateDatabase(path, tessaly::dao::dbLangGeneral);
    auto table = db->CreateTableDef(tessaly::kCardTableName);
    for (const tessaly::CardField& card : tessaly::kCardFields) {
      auto field = table->CreateField(card.name, card.type, card.size);
      if (field->Type() != tessaly::dao::dbDate) field->SetAllowZeroLength(true);
      table->FieldsAppend(field);
    }
    db->TableDefsAppend(table);
    auto rs = db->OpenRecordset(tessaly::kCardTableName);
    for (size_t n = 0; n < rows; ++n) {
      rs->AddNew();
      for (const auto& [position, text] : pool[n % pool.size()]) rs->SetValue(position, text);
      rs->Update();
    }
    db->Close();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = static_cast<double>(std::filesystem::file_size(path));
    std::printf("rows            %zu (%.0f text characters per row)\n", rows,
                static_cast<double>(textChars) / static_cast<double>(pool.size()));
    std::printf("time            %.3f s\n", seconds);
    std::printf("rows/s          %.0f\n", static_cast<double>(rows) / seconds);
    std::printf("MB/s written    %.1f\n", bytes / 1e6 / seconds);
    std::printf("peak RSS        %.1f MB\n", static_cast<double>(PeakRssKb()) / 1024.0);
    std::printf("file size       %.1f MB, %.1f bytes/row\n", bytes / 1e6,
                bytes / static_cast<double>(rows));
  } catch (const tessaly::Failure& f) {
    std::fprintf(stderr, "Err %d %s\n", f.Number(), f.Description().c_str());
    if (temporary) std::filesystem::remove(path);
    return 1;
  }
  if (temporary) std::filesystem::remove(path);
  return 0;
}
