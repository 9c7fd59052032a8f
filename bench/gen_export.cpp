// gen_export N OUTPUT [SEED] [--long]: writes a realistic Orvane card export of N
// cards (Windows-1252, CR LF lines; about 10% of the cards with multi-line notes).
// With --long, cards average about 600 bytes: half carry notes of several lines,
// one in a hundred notes of up to 20 KB, and 1% of the cards are refused (a value
// over its field's size or a date that is none).

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

namespace {

// Windows-1252 bytes: \xe9 e-acute, \xfc u-umlaut, \xf1 n-tilde, \x80 euro sign.
constexpr std::string_view kFirst[] = {"Anna",
                                       "Bernd",
                                       "Chlo\xe9",
                                       "David",
                                       "El\xed"
                                       "as",
                                       "Fran\xe7oise",
                                       "Georg",
                                       "Hanna",
                                       "Ines",
                                       "J\xfcrgen",
                                       "Karin",
                                       "Luis",
                                       "Marta",
                                       "Nils",
                                       "Olga",
                                       "Peter",
                                       "Ren\xe9",
                                       "Sofia"};
constexpr std::string_view kLast[] = {"Albrecht",
                                      "Bauer",
                                      "Cort\xe9s",
                                      "Dubois",
                                      "Eriksson",
                                      "Fischer",
                                      "Garc\xed"
                                      "a",
                                      "Hoffmann",
                                      "Iba\xf1\x65z",
                                      "Jensen",
                                      "Keller",
                                      "Lef\xe8vre",
                                      "M\xfcller",
                                      "Novak",
                                      "O'Brien"};
constexpr std::string_view kCompany[] = {
    "Acme Trading GmbH", "Nordlicht AG",    "Soci\xe9t\xe9 G\xe9n\xe9rale du Nord",
    "Blue River Ltd.",   "Hansen & S\xf8n", "Rossi S.p.A."};
constexpr std::string_view kDept[] = {"Sales", "Purchasing", "R&D", "Accounting", ""};
constexpr std::string_view kJob[] = {"Manager", "Engineer", "Consultant", "Director", "Assistant"};
constexpr std::string_view kStreet[] = {"Hauptstra\xdf\x65", "Rue de la Paix", "Main Street",
                                        "Calle Mayor",       "Kungsgatan",     "Via Roma"};
constexpr std::string_view kCity[] = {"Berlin",    "Paris",   "Springfield", "M\xfcnchen",
                                      "Z\xfcrich", "Sevilla", "G\xf6teborg"};
constexpr std::string_view kState[] = {"BE", "IDF", "IL", "BY", "ZH", "AN", ""};
constexpr std::string_view kCountry[] = {"Germany", "France", "USA", "Switzerland", "Spain"};
constexpr std::string_view kCategory[] = {"Business",  "Personal", "Business, VIP",
                                          "Suppliers", "Family",   "Holiday cards"};
constexpr std::string_view kNoteLine[] = {
    "Met at the trade fair, interested in the new catalogue.",
    "Prefers e-mail; do not call before 10 am.",
    "Invoice of \x80 1.250,00 paid on time.",
    "Call back about the \"\"spring\"\" order.",
    "Birthday present: a book, maybe a caf\xe9 voucher.",
    "",
};
constexpr std::string_view kLongLine[] = {
    "Follow-up after the visit: the new price list is due in March, samples were sent "
    "to the warehouse in G\xf6teborg.",
    "Talked about the framework contract; legal wants the clause on delivery dates "
    "reworded before anything is signed.",
    "Private: two children, plays the cello in the town orchestra, spends the summer at "
    "the lake house near Z\xfcrich.",
    "Open items: credit note for the damaged pallet (\x80 412,80), new contact in "
    "purchasing from May on.",
};
// How a card is refused: one field past its size, or a date nobody can read.
constexpr std::string_view kTooLongCompany =
    "Vereinigte Norddeutsche Gro\xdfhandelsgesellschaft f\xfcr Feinmechanik mbH";
constexpr std::string_view kBadDates[] = {"31/31/1970", "next spring", "1975-13-45"};

class Gen {
 public:
  explicit Gen(unsigned seed) : random_(seed) {}
  template <size_t N>
  std::string_view Pick(const std::string_view (&list)[N]) {
    return list[random_() % N];
  }
  unsigned Int(unsigned below) { return static_cast<unsigned>(random_() % below); }
  bool Chance(unsigned percent) { return Int(100) < percent; }

  void Digits(std::string& out, int count) {
    for (int i = 0; i < count; ++i) out += static_cast<char>('0' + Int(10));
  }
  void Phone(std::string& main, std::string& ext) {
    main = "+49 ";
    Digits(main, 2);
    main += ' ';
    Digits(main, 7);
    ext.clear();
    if (Chance(15)) Digits(ext, 1 + static_cast<int>(Int(4)));
  }
  std::string Date() {
    return std::to_string(1 + Int(12)) + "/" + std::to_string(1 + Int(28)) + "/" +
           std::to_string(1940 + Int(70));
  }

 private:
  std::mt19937 random_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_export N OUTPUT [SEED]\n");
    return 2;
  }
  const long long cards = std::atoll(argv[1]);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  Gen g(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1u);
  const bool longCards = argc > 4 && std::string_view(argv[4]) == "--long";

  std::string buffer;
  buffer.reserve(size_t{1} << 20);
  auto flush = [&] {
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    buffer.clear();
  };

  std::string col[48];
  col[0] = "";
  buffer += '"';
  for (int n = 1; n <= 47; ++n) {
    if (n > 1) buffer += "\",\"";
    buffer += "Field " + std::to_string(n);
  }
  buffer += "\"\r\n";

  for (long long i = 0; i < cards; ++i) {
    for (auto& c : col) c.clear();
    col[1] = g.Chance(30) ? (g.Chance(50) ? "Dr." : "Mr.") : "";
    col[2] = g.Pick(kFirst);
    col[3] = g.Pick(kLast);
    if (g.Chance(20)) col[4] = g.Pick(kFirst).substr(0, 1), col[4] += '.';
    col[5] = g.Pick(kDept);
    if (g.Chance(10)) g.Digits(col[6], 9);
    col[7] = std::string(g.Pick(kStreet)) + " " + std::to_string(1 + g.Int(200));
    col[9] = g.Pick(kCity);
    col[10] = g.Pick(kState);
    g.Digits(col[11], 5);
    col[12] = g.Pick(kCountry);
    g.Phone(col[13], col[14]);
    if (g.Chance(20)) g.Phone(col[15], col[16]);
    if (g.Chance(5)) col[17] = "Customer no. " + std::to_string(g.Int(100000));
    col[18] = g.Pick(kCompany);
    col[19] = g.Pick(kJob);
    if (g.Chance(10)) col[20] = g.Pick(kFirst);
    col[22] = std::string(g.Pick(kStreet)) + " " + std::to_string(1 + g.Int(200));
    if (g.Chance(15)) col[23] = "Building " + std::to_string(1 + g.Int(9));
    col[24] = g.Pick(kCity);
    col[25] = g.Pick(kState);
    g.Digits(col[26], 5);
    col[27] = g.Pick(kCountry);
    g.Phone(col[28], col[29]);
    if (g.Chance(50)) g.Phone(col[30], col[31]);
    if (g.Chance(20)) col[32] = g.Pick(kFirst);
    col[33] = g.Pick(kCategory);
    if (g.Chance(10)) col[34] = g.Pick(kJob);
    if (g.Chance(40)) col[35] = g.Date();
    if (g.Chance(10)) col[36] = g.Date();
    if (g.Chance(5)) {
      col[37] = std::string(g.Pick(kStreet)) + " 1";
      col[39] = g.Pick(kCity);
      g.Digits(col[41], 4);
    }
    if (g.Chance(10)) g.Phone(col[43], col[44]);

    unsigned noteLines = g.Chance(10) ? 1 + g.Int(4) : 0;
    size_t longNote = 0;
    if (longCards) {
      if (g.Chance(35)) noteLines = 1 + g.Int(5);
      if (g.Chance(1)) longNote = 2048 + g.Int(18 * 1024);
      if (g.Chance(10)) col[8] = "Apartment " + std::to_string(1 + g.Int(90));
      if (g.Chance(30)) {
        col[37] = std::string(g.Pick(kStreet)) + " " + std::to_string(1 + g.Int(90));
        col[39] = g.Pick(kCity);
        g.Digits(col[41], 5);
        col[42] = g.Pick(kCountry);
      }
      if (g.Chance(1)) {
        switch (g.Int(4)) {
          case 0:
            col[18] = kTooLongCompany;
            break;
          case 1:
            col[29] = "12345678901234567890";  // with the number and " x", past 31
            break;
          case 2:
            col[35] = g.Pick(kBadDates);
            break;
          default:
            col[26] = "D-12345-6789-0000";
            break;
        }
      }
    }
    const bool multiLine = noteLines > 0 || longNote > 0;
    if (multiLine || g.Chance(30)) {
      col[47] = longCards ? g.Pick(kLongLine) : g.Pick(kNoteLine);
    }

    buffer += '"';
    for (int n = 1; n <= 47; ++n) {
      if (n > 1) buffer += "\",\"";
      buffer += col[n];
    }
    if (multiLine) {
      for (unsigned k = 0; k < noteLines; ++k) {
        buffer += "\r\n";
        buffer += longCards ? g.Pick(kLongLine) : g.Pick(kNoteLine);
      }
      for (size_t written = 0; written < longNote;) {
        buffer += "\r\n";
        const std::string_view line = g.Pick(kLongLine);
        buffer += line;
        written += line.size() + 2;
      }
      buffer += "\r\n\"\r\n";
    } else {
      buffer += "\"\r\n";
    }
    if (buffer.size() > (size_t{1} << 20) - 4096) flush();
  }
  flush();
  if (std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
