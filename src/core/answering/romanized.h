// How a Latin-letter word reads as Japanese romaji, as romanized Korean, as
// Chinese pinyin or as Russian in translit: the sounds each language allows,
// and for Russian the spelling dictionary after turning the word into
// Cyrillic. Words are lower case a-z (long vowels already written plain).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// The word is a sequence of Japanese syllables in Hepburn, Kunrei or a phone's
// spelling ("nakushimashita", "kuukou", "chekkuauto", "konnichiwa").
bool romajiWord(std::string_view word);

// What marks a romaji word as Japanese rather than only sounding like it:
// 2 for a verb ending ("-masu", "-desu", "kudasai"), 1 for the syllables other
// languages do not write ("shi", "tsu", "kyo", doubled consonants, long
// "ou"/"uu"), else 0.
int romajiMarks(std::string_view word);

// The word is a sequence of Korean syllables as guests romanize them
// ("isseoyo", "gamsahamnida", "juchajang").
bool koreanWord(std::string_view word);

// What marks a romanized word as Korean: 2 for a verb ending ("-seyo",
// "-nida", "-kkayo"), 1 for the vowels "eo" and "eu" or a doubled "kk" or
// "jj", else 0.
int koreanMarks(std::string_view word);

// The word is a sequence of Mandarin syllables in pinyin without tone marks
// ("qingwen", "zaocan", "tingchechang"; "v" or "u" for "ü").
bool pinyinWord(std::string_view word);

// Whether a pinyin word has what marks it as pinyin rather than only sounding
// like it: the initials "q", "x", "zh", or the finals "iao", "ian", "iang",
// "iong", "uang", "uai", "uo", "ui", "iu" other languages guests write seldom
// form so.
bool pinyinMarked(std::string_view word);

// Russian in translit: the spellings a word may stand for in Cyrillic ("skolko"
// for "сколько", "pozdniy" for "поздний"), at most `limit` of them.
std::vector<std::string> cyrillicReadings(std::string_view word, std::size_t limit);

// Spellings only Russian in translit uses among the languages guests write:
// "zh", "kh", "ya" after a consonant, "iy" at the end, a soft sign's
// apostrophe.
bool translitMarked(std::string_view word);

// Whether a Russian spelling dictionary knows one of the word's Cyrillic
// readings. False for every word when no dictionary is installed.
bool russianWord(std::string_view word);

// Whether a Russian dictionary could be read (the answers above mean nothing
// without it).
bool russianDictionary();

}  // namespace quorvel
