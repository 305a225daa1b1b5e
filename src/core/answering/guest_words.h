// Word lists that help tell the language of a short guest message.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

struct GuestWords {
  std::string code;   // language code
  const char* words;  // lower case, separated by white space
};

const std::vector<GuestWords>& guestWords();

// Words of languages with scripts of their own as guests write them in Latin
// letters on a phone without that keyboard: Russian in translit ("mozhno",
// "zavtrak"), Japanese in romaji ("kudasai", "heya"), Korean romanized
// ("annyeonghaseyo"); and of Hindi, Greek and Thai, which have no replies of
// their own ("kya", "kalimera", "sawasdee"). Only words no Latin-script language writes; lower
// case, without apostrophes, separated by white space.
const std::vector<GuestWords>& romanizedWords();

// Words of the Arabic chat alphabet (Arabic typed in Latin letters, digits for
// the sounds Latin lacks: "3andkon", "mar7aba"), the short ones shared with
// other languages ("el", "fi", "ana") among them.
const char* arabicChatWords();

// Chinese words guests type in pinyin without tone marks, together or syllable
// by syllable ("qingwen", "zaocan", "xiexie"). Lower case, white space between.
const char* pinyinWords();

// English hotel words that guests put into messages in any language ("wifi",
// "late checkout", "parking"): they say nothing about the guest's language.
// Lower case, separated by white space.
const char* hotelLoanwords();

}  // namespace quorvel
