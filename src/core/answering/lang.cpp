#include <quorvel/lang.h>

#include <cld2/public/compact_lang_det.h>
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/uscript.h>
#include <unicode/utf8.h>

#include <cstdio>  // before CLD2's header, which uses it without including it
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel {

namespace {

struct Row {
  const char* notInDocs;
  const char* partial;
};

const std::map<std::string, Row>& table() {
  static const std::map<std::string, Row> rows{
      {"ru", {"В документах нет ответа на этот вопрос. Я уточню у администратора и напишу вам.",
              "Остальное в наших документах не указано — я уточню у администратора и напишу вам."}},
      {"en", {"This is not in our documents. I will check with the manager and get back to you.",
              "The rest is not in our documents — I will check with the manager and get back to you."}},
      {"id", {"Informasi ini tidak ada di dokumen kami. Saya akan menanyakan kepada manajer dan segera mengabari Anda.",
              "Hal lainnya tidak ada di dokumen kami — saya akan menanyakan kepada manajer dan segera mengabari Anda."}},
      {"de", {"Dazu steht nichts in unseren Unterlagen. Ich frage beim Manager nach und melde mich.",
              "Der Rest steht nicht in unseren Unterlagen — ich frage beim Manager nach und melde mich."}},
      {"fr", {"Cette information ne figure pas dans nos documents. Je vérifie auprès du responsable et je reviens vers "
              "vous.",
              "Le reste ne figure pas dans nos documents — je vérifie auprès du responsable et je reviens vers vous."}},
      {"es", {"Esto no está en nuestros documentos. Lo consultaré con el gerente y le responderé.",
              "Lo demás no está en nuestros documentos: lo consultaré con el gerente y le responderé."}},
      {"it", {"Questa informazione non è nei nostri documenti. Chiederò al responsabile e le farò sapere.",
              "Il resto non è nei nostri documenti: chiederò al responsabile e le farò sapere."}},
      {"zh-Hans", {"我们的资料中没有这方面的信息。我会向经理确认后回复您。",
                   "其他问题我们的资料中没有说明，我会向经理确认后回复您。"}},
      {"zh-Hant", {"我們的資料中沒有這方面的資訊。我會向經理確認後回覆您。",
                   "其他問題我們的資料中沒有說明，我會向經理確認後回覆您。"}},
      {"ja", {"その情報は資料にございません。担当者に確認してご連絡いたします。",
              "その他の点は資料にございません。担当者に確認してご連絡いたします。"}},
      {"ko", {"해당 내용은 저희 문서에 없습니다. 매니저에게 확인 후 연락드리겠습니다.",
              "나머지 내용은 저희 문서에 없습니다. 매니저에게 확인 후 연락드리겠습니다."}},
      {"nl", {"Dit staat niet in onze documenten. Ik vraag het na bij de manager en laat het u weten.",
              "De rest staat niet in onze documenten — ik vraag het na bij de manager en laat het u weten."}},
      {"tl", {"Wala ito sa aming mga dokumento. Itatanong ko sa manager at babalikan kita.",
              "Ang iba ay wala sa aming mga dokumento — itatanong ko sa manager at babalikan kita."}},
  };
  return rows;
}

const Row& lookup(const std::string& code) {
  const auto& rows = table();
  if (auto it = rows.find(code); it != rows.end()) return it->second;
  if (auto it = rows.find(code.substr(0, 2)); it != rows.end()) return it->second;
  return rows.at("en");
}

// How many letters of each script a text has.
struct Scripts {
  int latin = 0, cyrillic = 0, han = 0, kana = 0, hangul = 0, other = 0;
  UScriptCode otherScript = USCRIPT_INVALID_CODE;
};

Scripts countScripts(std::string_view text) {
  Scripts s;
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c;
    U8_NEXT(text.data(), i, text.size(), c);
    if (c < 0 || !u_isalpha(c)) continue;
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(c, &status);
    switch (script) {
      case USCRIPT_LATIN: ++s.latin; break;
      case USCRIPT_CYRILLIC: ++s.cyrillic; break;
      case USCRIPT_HAN: ++s.han; break;
      case USCRIPT_HIRAGANA:
      case USCRIPT_KATAKANA: ++s.kana; break;
      case USCRIPT_HANGUL: ++s.hangul; break;
      default:
        ++s.other;
        s.otherScript = script;
    }
  }
  return s;
}

// Simplified or traditional: whichever conversion leaves the text unchanged.
std::string chineseVariant(std::string_view text) {
  static std::once_flag once;
  static std::unique_ptr<icu::Transliterator> toTraditional, toSimplified;
  std::call_once(once, [] {
    UErrorCode status = U_ZERO_ERROR;
    toTraditional.reset(icu::Transliterator::createInstance("Hans-Hant", UTRANS_FORWARD, status));
    status = U_ZERO_ERROR;
    toSimplified.reset(icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, status));
  });
  const icu::UnicodeString original = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (toSimplified) {
    icu::UnicodeString s(original);
    toSimplified->transliterate(s);
    if (s != original) return "zh-Hant";  // it had traditional characters
  }
  if (toTraditional) {
    icu::UnicodeString t(original);
    toTraditional->transliterate(t);
    if (t != original) return "zh-Hans";
  }
  return "";
}

// Function words (and a few hotel words) of the Latin-script languages of
// the table. A short message gives CLD2 too little text: it then falls back
// to English, or to a close neighbour (Malay for Indonesian, Cebuano for
// Tagalog). These words decide such cases.
const std::map<std::string, std::vector<std::string>>& functionWords() {
  static const std::map<std::string, std::vector<std::string>> words{
      {"en", {"the", "is", "are", "what", "when", "where", "how", "can", "do", "does", "you", "we", "our", "my", "for",
              "with", "have", "please", "thanks", "thank", "time", "room", "breakfast", "there", "any", "could", "would",
              "will", "it", "an", "of", "to", "in", "at", "from", "your", "much", "hi", "hello", "ok"}},
      {"id", {"apakah", "berapa", "jam", "saya", "kami", "bisa", "untuk", "tidak", "ada", "di", "dari", "dan", "yang",
              "terima", "kasih", "tolong", "kamar", "sarapan", "biaya", "bisakah", "hari", "setiap", "buka", "dengan",
              "ke", "ini", "itu", "atau", "sudah", "belum", "kapan", "dimana", "mana", "gratis", "pagi", "malam",
              "besok", "anda", "tamu", "mohon", "halo"}},
      {"tl", {"ang", "ng", "mga", "po", "ba", "sa", "ko", "namin", "pwede", "puwede", "magkano", "saan", "anong", "oras",
              "hindi", "salamat", "maraming", "para", "akong", "nang", "bukas", "ako", "kayo", "kami", "ninyo", "ito",
              "iyan", "may", "wala", "meron", "opo", "kwarto", "kuwarto", "almusal", "libre", "paano", "kailan", "lang",
              "naman", "na", "pa"}},
      {"de", {"ist", "der", "die", "das", "und", "wann", "wie", "wo", "ich", "wir", "sie", "nicht", "kann", "gibt",
              "es", "für", "ein", "eine", "bitte", "danke", "zimmer", "frühstück", "uhr", "kostet", "vom", "mit", "im",
              "auf", "zum", "zur", "noch", "schon", "haben", "sind", "können", "unser", "hallo", "guten", "unserem", "mein", "viel"}},
      {"fr", {"le", "la", "les", "est", "à", "quelle", "heure", "où", "je", "nous", "vous", "pour", "une", "un", "pas",
              "merci", "chambre", "combien", "depuis", "du", "des", "ne", "et", "il", "elle", "avez", "peut", "puis",
              "notre", "votre", "mon", "ma", "au", "aux", "petit", "déjeuner", "bonjour", "salut", "est-ce", "que", "qui", "sont"}},
      {"es", {"el", "la", "los", "las", "es", "qué", "hora", "dónde", "puedo", "para", "una", "un", "no", "gracias",
              "habitación", "cuánto", "cuesta", "se", "por", "de", "mi", "nuestra", "nuestro", "hay", "está", "y",
              "con", "del", "al", "desayuno", "muchas", "hola", "podrían", "puede", "tienen", "usted", "cuándo", "también"}},
      {"it", {"il", "la", "lo", "gli", "è", "che", "ora", "dove", "posso", "per", "una", "un", "non", "grazie",
              "camera", "quanto", "costa", "sono", "della", "nella", "nostra", "di", "mi", "ci", "c'è", "colazione",
              "potreste", "può", "ciao", "salve", "avete", "anche", "con", "del", "al", "dall", "in", "e"}},
      {"nl", {"het", "de", "een", "is", "hoe", "laat", "waar", "kan", "ik", "wij", "we", "u", "niet", "voor", "van",
              "kamer", "ontbijt", "bedankt", "dank", "hoeveel", "kost", "zijn", "op", "mijn", "onze", "en", "er", "met",
              "naar", "bij", "wat", "wanneer", "graag", "alstublieft", "hoi", "goedemorgen", "heeft", "hebben", "doet"}},
  };
  return words;
}

// The table language whose function words the text uses most, or "" when
// the words do not set one apart by at least `needed` words.
std::string functionWordVote(std::string_view text, double needed) {
  // Each word to the languages that use it; a word shared by several counts
  // for each of them in part.
  static const std::map<std::string, std::vector<std::string>> languagesOf = [] {
    std::map<std::string, std::vector<std::string>> m;
    for (const auto& [lang, list] : functionWords())
      for (const auto& w : list) m[w].push_back(lang);
    return m;
  }();
  std::map<std::string, double> score;
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  u.toLower(icu::Locale::getRoot());
  std::string lower;
  u.toUTF8String(lower);
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    if (auto it = languagesOf.find(word); it != languagesOf.end())
      for (const auto& lang : it->second) score[lang] += 1.0 / static_cast<double>(it->second.size());
    word.clear();
  };
  std::size_t i = 0;
  while (i < lower.size()) {
    const std::size_t start = i;
    UChar32 c;
    U8_NEXT(lower.data(), i, lower.size(), c);
    if (c >= 0 && (u_isalpha(c) || c == '\'' || c == 0x2019)) word.append(lower, start, i - start);
    else flush();
  }
  flush();
  std::string best;
  double top = 0, second = 0;
  for (const auto& [lang, v] : score) {
    if (v > top) {
      second = top;
      top = v;
      best = lang;
    } else if (v > second) {
      second = v;
    }
  }
  return top >= needed && top > second ? best : "";
}

// CLD2's answer as a code of the recogniser's form.
std::string cld2(std::string_view text) {
  CLD2::Language top3[3];
  int percent3[3];
  double scores3[3];
  int textBytes = 0, validPrefix = 0;
  bool reliable = false;
  const CLD2::Language lang = CLD2::ExtDetectLanguageSummaryCheckUTF8(
      text.data(), static_cast<int>(text.size()), true, nullptr, CLD2::kCLDFlagBestEffort, top3, percent3, scores3,
      nullptr, &textBytes, &reliable, &validPrefix);
  if (lang == CLD2::UNKNOWN_LANGUAGE) return "";
  std::string code = CLD2::LanguageCode(lang);
  if (code == "un" || code == "xxx") return "";
  // Unsure answers on short text: English by default (a low score against
  // English), or a neighbour of a table language. Function words decide.
  const bool weakEnglish = code == "en" && scores3[0] < 1000;
  const bool neighbour = code == "ms" || code == "ceb" || code == "war" || code == "gl" || code == "ca" ||
                         code == "pt" || code == "af" || code == "fy" || code == "lb" || code == "co" || code == "la";
  // A neighbour is a real language too (a Portuguese guest is not Spanish):
  // it is overruled only by clear evidence.
  if (weakEnglish || neighbour) {
    const std::string vote = functionWordVote(text, neighbour ? 2.0 : 1.0);
    if (!vote.empty()) return vote;
  }
  if (code == "zh") return "zh-Hans";
  if (code == "iw") return "he";
  if (code == "jw") return "jv";
  if (code == "no") return "nb";
  return code;
}

}  // namespace

std::string Lang::detect(std::string_view text) {
  const Scripts s = countScripts(text);
  const int letters = s.latin + s.cyrillic + s.han + s.kana + s.hangul + s.other;
  if (letters == 0) return "en";
  // Scripts that belong to one language decide outright: a short message
  // gives a statistical recogniser too little to go on.
  if (s.hangul > 0 && s.hangul >= s.kana) return "ko";
  if (s.kana > 0) return "ja";
  if (s.han > 0 && s.han * 2 >= letters) {
    const std::string variant = chineseVariant(text);
    if (!variant.empty()) return variant;
    const std::string guess = cld2(text);
    return guess == "zh-Hant" ? guess : "zh-Hans";
  }
  // A word or two of Latin letters ("Hi", "OK", "Merci") says nothing to a
  // statistical recogniser; a known word decides, else English.
  if (s.latin == letters && letters < 6) {
    const std::string vote = functionWordVote(text, 1.0);
    return vote.empty() ? "en" : vote;
  }
  // Likewise a word or two of Cyrillic ("Да"): by far most often Russian.
  if (s.cyrillic == letters && letters < 6) return "ru";
  const std::string guess = cld2(text);
  if (!guess.empty()) return guess;
  if (s.cyrillic > s.latin) return "ru";
  return "en";
}

std::string Lang::name(const std::string& code) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale locale = icu::Locale::forLanguageTag(code, status);
  if (U_FAILURE(status) || code.empty()) return code;
  icu::UnicodeString display;
  // The two Chinese codes name their script, so that a guest who writes in
  // traditional characters is not answered in simplified ones.
  if (code == "zh-Hans" || code == "zh-Hant")
    locale.getDisplayName(icu::Locale::getEnglish(), display);
  else
    locale.getDisplayLanguage(icu::Locale::getEnglish(), display);
  std::string out;
  display.toUTF8String(out);
  // ICU answers an unknown code with the code itself (lower-cased); keep the
  // caller's spelling.
  return out.empty() || out == locale.getLanguage() ? code : out;
}

std::string Lang::notInDocs(const std::string& code) { return lookup(code).notInDocs; }
std::string Lang::partial(const std::string& code) { return lookup(code).partial; }

}  // namespace quorvel
