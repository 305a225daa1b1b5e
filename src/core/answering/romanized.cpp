#include "answering/romanized.h"

#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

namespace quorvel {

namespace {

bool vowel(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

bool startsWith(std::string_view w, std::size_t i, std::string_view part) { return w.substr(i).starts_with(part); }

// No word of these languages is longer; a longer string of letters is not
// parsed at all (guests paste anything).
constexpr std::size_t kLongestWord = 40;

// Whether the whole word splits into syllables, given where a syllable may
// end when it starts at a position (`next`): worked from the end, so each
// position is settled once.
template <typename Next>
bool splits(std::string_view w, Next next) {
  if (w.empty() || w.size() > kLongestWord) return false;
  std::array<bool, kLongestWord + 1> fromHere{};
  fromHere[w.size()] = true;
  for (std::size_t i = w.size(); i-- > 0;)
    next(i, [&](std::size_t end) { fromHere[i] = fromHere[i] || fromHere[end]; });
  return fromHere[0];
}

// Japanese: a syllable is a vowel, a consonant (or "sh", "ch", "ts", "ky"…)
// and a vowel, a syllabic "n", or the first half of a doubled consonant.
void romajiSyllables(std::string_view w, std::size_t i, const auto& end) {
  const char c = w[i];
  if (vowel(c)) return end(i + 1);
  const bool last = i + 1 == w.size();
  const char next = last ? 0 : w[i + 1];
  // "konbini", "onsen", "shimbun"; never at the start of a word ("ngapi",
  // "mbali" are Swahili).
  if (i > 0 && ((c == 'n' && (last || (!vowel(next) && next != 'y'))) ||
                (c == 'm' && (next == 'b' || next == 'p' || next == 'm'))))
    end(i + 1);
  // "chekku", "matte", "beddo", "matcha"
  if (next == c && std::string_view("kstpdgbzfhj").find(c) != std::string_view::npos) return end(i + 1);
  if ((c == 't' || c == 'c') && startsWith(w, i + 1, "ch")) return end(i + 1);
  static constexpr std::array<std::string_view, 5> anyVowel2{"sh", "ch", "ts", "dz", "fy"};
  for (std::string_view onset : anyVowel2)
    if (startsWith(w, i, onset) && i + 2 < w.size() && vowel(w[i + 2])) return end(i + 3);
  // "kyou", "ryokan", "byouin"
  if (next == 'y' && std::string_view("kgnhbpmrjd").find(c) != std::string_view::npos && i + 2 < w.size() &&
      (w[i + 2] == 'a' || w[i + 2] == 'u' || w[i + 2] == 'o'))
    return end(i + 3);
  if (!vowel(next)) return;
  if (c == 'y' && next != 'i') return end(i + 2);
  if (c == 'w' && (next == 'a' || next == 'o' || next == 'e')) return end(i + 2);
  if (std::string_view("kgsztdnhbpmrjf").find(c) != std::string_view::npos) end(i + 2);
}

// Korean syllables as guests romanize them: an initial consonant, a vowel and
// a final consonant, the consonants optional.
void koreanSyllables(std::string_view w, std::size_t i, const auto& end) {
  static constexpr std::array<std::string_view, 20> initials{"kk", "tt", "pp", "ss", "jj", "ch", "g", "k", "n", "d",
                                                             "t",  "r",  "m",  "b",  "p",  "s",  "j", "h", "l", ""};
  static constexpr std::array<std::string_view, 21> vowels{"yae", "yeo", "wae", "ae", "ya", "eo", "ye",
                                                           "wa",  "oe",  "yo",  "wo", "we", "wi", "yu",
                                                           "eu",  "ui",  "a",   "e",  "o",  "u",  "i"};
  static constexpr std::array<std::string_view, 8> finals{"ng", "k", "n", "t", "l", "m", "p", ""};
  for (std::string_view initial : initials) {
    if (!startsWith(w, i, initial)) continue;
    // "l" begins a syllable only after another ("bulleo", "pullyo").
    if (initial == "l" && (i == 0 || w[i - 1] != 'l')) continue;
    const std::size_t v = i + initial.size();
    for (std::string_view vow : vowels) {
      if (!startsWith(w, v, vow)) continue;
      const std::size_t f = v + vow.size();
      for (std::string_view fin : finals)
        if (startsWith(w, f, fin)) end(f + fin.size());
    }
  }
}

bool contains(std::string_view w, std::string_view part) { return w.find(part) != std::string_view::npos; }

// Mandarin's syllables in pinyin, a closed set: no other string is one.
const std::unordered_set<std::string_view>& pinyinSyllables() {
  static const std::unordered_set<std::string_view> set = [] {
    static constexpr std::string_view kAll =
        "a ai an ang ao ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu ca cai can cang cao ce cen "
        "ceng cha chai chan chang chao che chen cheng chi chong chou chu chua chuai chuan chuang chui chun chuo ci "
        "cong cou cu cuan cui cun cuo da dai dan dang dao de dei den deng di dian diao die ding diu dong dou du "
        "duan dui dun duo e ei en eng er fa fan fang fei fen feng fo fou fu ga gai gan gang gao ge gei gen geng "
        "gong gou gu gua guai guan guang gui gun guo ha hai han hang hao he hei hen heng hong hou hu hua huai huan "
        "huang hui hun huo ji jia jian jiang jiao jie jin jing jiong jiu ju juan jue jun ka kai kan kang kao ke kei "
        "ken keng kong kou ku kua kuai kuan kuang kui kun kuo la lai lan lang lao le lei leng li lia lian liang "
        "liao lie lin ling liu lo long lou lu luan lun luo lv lve lue ma mai man mang mao me mei men meng mi mian "
        "miao mie min ming miu mo mou mu na nai nan nang nao ne nei nen neng ni nian niang niao nie nin ning niu "
        "nong nou nu nuan nuo nv nve nue o ou pa pai pan pang pao pei pen peng pi pian piao pie pin ping po pou pu "
        "qi qia qian qiang qiao qie qin qing qiong qiu qu quan que qun ran rang rao re ren reng ri rong rou ru rua "
        "ruan rui run ruo sa sai san sang sao se sen seng sha shai shan shang shao she shei shen sheng shi shou shu "
        "shua shuai shuan shuang shui shun shuo si song sou su suan sui sun suo ta tai tan tang tao te teng ti tian "
        "tiao tie ting tong tou tu tuan tui tun tuo wa wai wan wang wei wen weng wo wu xi xia xian xiang xiao xie "
        "xin xing xiong xiu xu xuan xue xun ya yan yang yao ye yi yin ying yo yong you yu yuan yue yun za zai zan "
        "zang zao ze zei zen zeng zha zhai zhan zhang zhao zhe zhei zhen zheng zhi zhong zhou zhu zhua zhuai zhuan "
        "zhuang zhui zhun zhuo zi zong zou zu zuan zui zun zuo";
    std::unordered_set<std::string_view> out;
    for (std::size_t start = 0; start < kAll.size();) {
      const std::size_t end = std::min(kAll.find(' ', start), kAll.size());
      out.insert(kAll.substr(start, end - start));
      start = end + 1;
    }
    return out;
  }();
  return set;
}

// The longest pinyin syllable ("zhuang") has six letters.
void pinyinSyllable(std::string_view w, std::size_t i, const auto& end) {
  const auto& syllables = pinyinSyllables();
  for (std::size_t n = 1; n <= 6 && i + n <= w.size(); ++n)
    if (syllables.count(w.substr(i, n))) end(i + n);
}

// The Cyrillic spellings a Latin-letter word may stand for, grown letter by
// letter: each choice multiplies them, up to a limit.
class CyrillicReadings {
 public:
  explicit CyrillicReadings(std::size_t limit) : limit_(limit) {}
  void add(std::initializer_list<std::string_view> options) {
    std::vector<std::string> next;
    for (const std::string& o : out_)
      for (std::string_view opt : options)
        if (next.size() < limit_) next.push_back(o + std::string(opt));
    out_ = std::move(next);
  }
  // Whether what is read so far ends in a vowel (or is nothing yet): "y",
  // "e" and the iotated vowels read otherwise there.
  bool afterVowel() const {
    static constexpr std::string_view kVowels = "аеёиоуыэюя";
    const std::string& s = out_.front();
    if (s.empty()) return true;
    for (std::size_t i = 0; i < kVowels.size(); i += 2)
      if (s.ends_with(kVowels.substr(i, 2))) return true;
    return false;
  }
  const std::vector<std::string>& spellings() const { return out_; }

 private:
  std::size_t limit_;
  std::vector<std::string> out_{""};
};

// "zh", "kh", "ch", "sh", "shch", "sch", "ts" at `i`: the letters used, 0 when
// none stands there.
std::size_t readDigraph(std::string_view w, std::size_t i, CyrillicReadings& r) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> digraphs{
      {{"shch", "щ"}, {"zh", "ж"}, {"kh", "х"}, {"ch", "ч"}, {"sh", "ш"}, {"sch", "щ"}, {"ts", "ц"}}};
  for (const auto& [latin, cyr] : digraphs) {
    if (!startsWith(w, i, latin)) continue;
    if (latin == "ts")
      r.add({cyr, "тс", "тьс"});  // "tsya": "ться"
    else if (latin == "sch")
      r.add({cyr, "сч"});  // "schet": "счет"
    else if (latin != "kh" && i + latin.size() == w.size())
      r.add({cyr, std::string(cyr) + "ь"});  // "pomoshch": "помощь", "noch": "ночь"
    else
      r.add({cyr});
    return latin.size();
  }
  return 0;
}

// "ya", "yu", "yo", "ye" (or with "j") at `i`: 2, or 0 when none stands there.
std::size_t readIotated(std::string_view w, std::size_t i, CyrillicReadings& r) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> iotated{
      {{"yo", "ё"}, {"jo", "ё"}, {"yu", "ю"}, {"ju", "ю"}, {"ya", "я"}, {"ja", "я"}, {"ye", "е"}, {"je", "е"}}};
  for (const auto& [latin, cyr] : iotated) {
    if (!startsWith(w, i, latin)) continue;
    // After a consonant a hard or soft sign may stand before it ("vyezd":
    // "выезд", "obyavlenie").
    if (r.afterVowel()) {
      r.add({cyr});
    } else {
      const std::string soft = "ь" + std::string(cyr), hard = "ъ" + std::string(cyr), yery = "ы" + std::string(cyr);
      r.add({cyr, soft, hard, yery});
    }
    return 2;
  }
  return 0;
}

// One letter at `i`: 1, or 0 for a letter translit does not use.
std::size_t readLetter(std::string_view w, std::size_t i, CyrillicReadings& r) {
  const char c = w[i];
  const char next = i + 1 < w.size() ? w[i + 1] : 0;
  const bool vowelBefore = r.afterVowel();
  switch (c) {
    case 'y':
      if (vowelBefore)
        r.add({"й"});
      else
        r.add({"ы", "й", "и"});
      return 1;
    case 'j': r.add({"й", "ж"}); return 1;  // "mojno": "можно"
    case '\'': r.add({"ь"}); return 1;
    case 'e':
      if (i == 0 || vowelBefore)
        r.add({"е", "э"});
      else
        r.add({"е"});
      return 1;
    case 'i':
      if (vowelBefore && i > 0)
        r.add({"и", "й"});
      else
        r.add({"и"});
      return 1;
    default: break;
  }
  static constexpr std::string_view kLatin = "abvwgdzklmnoprstufhcxq";
  static constexpr std::array<std::string_view, 22> kCyrillic{"а", "б", "в", "в", "г", "д", "з", "к", "л", "м",  "н",
                                                              "о", "п", "р", "с", "т", "у", "ф", "х", "ц", "кс", "к"};
  const std::size_t at = kLatin.find(c);
  if (at == std::string_view::npos) return 0;
  const std::string_view cyr = kCyrillic[at];
  // The soft sign is often left out: "skolko" for "сколько", "mozhet byt"
  // for "может быть".
  const bool consonantNext = next != 0 && !vowel(next) && next != 'y' && next != '\'';
  if (std::string_view("lntdszrmvp").find(c) != std::string_view::npos && (next == 0 || consonantNext))
    r.add({cyr, std::string(cyr) + "ь"});
  else
    r.add({cyr});
  return 1;
}

// The Russian dictionary of the system, read once.
class RussianDictionary {
 public:
  static RussianDictionary& shared() {
    // Never destroyed: detection may run on a worker thread while the
    // program exits.
    static auto* d = new RussianDictionary;
    return *d;
  }
  bool ready() {
    std::call_once(once_, [this] { load(); });
    return speller_ != nullptr;
  }
  // Whether one of the Cyrillic readings of a Latin-letter word is a Russian
  // word. Answers are kept (a message is read again as the receptionist edits
  // it, and guests reuse words): Hunspell takes up to a few hundred
  // microseconds on a word.
  bool knows(std::string_view latin) {
    if (!ready()) return false;
    std::lock_guard lock(mutex_);  // Hunspell keeps state between calls
    const std::string key(latin);
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    bool found = false;
    for (const std::string& reading : cyrillicReadings(latin, kReadings))
      if ((found = speller_->spell(reading))) break;
    if (known_.size() >= kKept) known_.clear();
    known_.emplace(key, found);
    return found;
  }

 private:
  void load() {
    namespace fs = std::filesystem;
    for (const char* dir : {"/usr/share/hunspell", "/usr/share/myspell", "/usr/share/myspell/dicts"}) {
      const fs::path aff = fs::path(dir) / "ru_RU.aff", dic = fs::path(dir) / "ru_RU.dic";
      std::error_code ec;
      if (fs::is_regular_file(aff, ec) && fs::is_regular_file(dic, ec)) {
        speller_ = std::make_unique<Hunspell>(aff.c_str(), dic.c_str());
        return;
      }
    }
  }
  static constexpr std::size_t kKept = 4096;
  static constexpr std::size_t kReadings = 16;  // enough for "zdravstvuyte"
  std::once_flag once_;
  std::mutex mutex_;
  std::unique_ptr<Hunspell> speller_;
  std::unordered_map<std::string, bool> known_;
};

}  // namespace

bool romajiWord(std::string_view word) {
  return splits(word, [&](std::size_t i, const auto& end) { romajiSyllables(word, i, end); });
}

int romajiMarks(std::string_view word) {
  for (std::string_view ending :
       {"masu", "masen", "mashita", "masuka", "desu", "desuka", "kudasai", "deshita", "mashou"})
    if (word.ends_with(ending)) return 2;
  // Short words sound alike in too many languages ("you", "tou").
  if (word.size() < 4) return 0;
  for (std::string_view mark : {"shi", "tsu", "chi", "ou", "uu", "kk", "tt", "pp", "ssh", "tch", "cch", "fu"})
    if (contains(word, mark)) return 1;
  for (std::size_t i = 0; i + 2 < word.size(); ++i)
    if (std::string_view("kgnhbpmr").find(word[i]) != std::string_view::npos && word[i + 1] == 'y' &&
        (word[i + 2] == 'a' || word[i + 2] == 'u' || word[i + 2] == 'o'))
      return 1;
  return 0;
}

bool koreanWord(std::string_view word) {
  return splits(word, [&](std::size_t i, const auto& end) { koreanSyllables(word, i, end); });
}

int koreanMarks(std::string_view word) {
  for (std::string_view ending :
       {"nida", "seyo", "haeyo", "ieyo", "yeyo", "kkayo", "jiyo", "gayo", "eoyo", "nikka", "gyeyo"})
    if (word.ends_with(ending)) return 2;
  for (std::string_view mark : {"eo", "eu", "kk", "jj"})
    if (contains(word, mark)) return 1;
  // The polite "-yo" after the vowels Spanish does not put before it
  // ("dwaeyo", "bwayo", "ganeunghannayo"; but "ensayo", "apoyo").
  if (word.size() >= 5)
    for (std::string_view ending : {"aeyo", "wayo", "nayo", "eyo"})
      if (word.ends_with(ending)) return 1;
  return 0;
}

bool pinyinWord(std::string_view word) {
  auto syllables = [](std::string_view w) {
    return splits(w, [&](std::size_t i, const auto& end) { pinyinSyllable(w, i, end); });
  };
  // The northern "r" after a syllable ("nar", "zher", "yidianr").
  return syllables(word) || (word.size() > 2 && word.ends_with('r') && syllables(word.substr(0, word.size() - 1)));
}

bool pinyinMarked(std::string_view word) {
  if (contains(word, "q") || contains(word, "x") || contains(word, "zh")) return true;
  for (std::string_view final : {"iao", "ian", "iang", "iong", "uang", "uai", "uo", "ui", "iu"})
    if (contains(word, final)) return true;
  return false;
}

std::vector<std::string> cyrillicReadings(std::string_view w, std::size_t limit) {
  if (w.size() > kLongestWord) return {};
  CyrillicReadings readings(limit);
  for (std::size_t i = 0; i < w.size();) {
    std::size_t used = readDigraph(w, i, readings);
    if (used == 0) used = readIotated(w, i, readings);
    if (used == 0) used = readLetter(w, i, readings);
    if (used == 0) return {};  // a letter translit does not use
    i += used;
  }
  return readings.spellings();
}

bool translitMarked(std::string_view word) {
  for (std::string_view mark : {"zh", "kh", "shch", "ts", "'"})
    if (contains(word, mark)) return true;
  for (std::string_view end : {"iy", "yy", "oy", "ey", "ij", "yj"})
    if (word.ends_with(end)) return true;
  for (std::size_t i = 1; i + 1 < word.size(); ++i)
    if (word[i] == 'y' && !vowel(word[i - 1]) && word[i - 1] != 'y' &&
        (word[i + 1] == 'a' || word[i + 1] == 'u' || word[i + 1] == 'o' || !vowel(word[i + 1])))
      return true;
  return false;
}

bool russianDictionary() { return RussianDictionary::shared().ready(); }

bool russianWord(std::string_view word) {
  // Spellings translit does not use ("th", "ph", "ck", "q", "x") settle it
  // without the dictionary.
  for (std::string_view foreign : {"th", "ph", "ck", "q", "x", "w", "ou", "ee", "oo", "ea"})
    if (contains(word, foreign)) return false;
  return RussianDictionary::shared().knows(word);
}

}  // namespace quorvel
