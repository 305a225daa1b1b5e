// What of a pasted e-mail or thread the guest wrote: the language is decided
// on that alone.
#include <gtest/gtest.h>

#include <quorvel/lang.h>

#include <string>
#include <utility>
#include <vector>

#include "answering/guest_text.h"

namespace quorvel {
namespace {

std::string u8str(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// The reply headers of the common mail programs in the reply languages and
// Russian, each with the hotel's quote below it.
const std::vector<std::pair<const char*, std::string>>& headers() {
  static const std::vector<std::pair<const char*, std::string>> h{
      {"en Gmail", "On Mon, 4 May 2026 at 10:12, Palm Cove Hotel <info@palmcove.example> wrote:"},
      {"en Apple", "On 4 May 2026, at 10:12, Palm Cove Hotel <info@palmcove.example> wrote:"},
      {"en short", "Palm Cove Hotel wrote:"},
      {"de Gmail", "Am Mo., 4. Mai 2026 um 10:12 Uhr schrieb Palm Cove Hotel <info@palmcove.example>:"},
      {"de Apple", "Am 04.05.2026 um 10:12 schrieb Palm Cove Hotel <info@palmcove.example>:"},
      {"de Thunderbird", "Am 04.05.26 um 10:12 schrieb Rezeption:"},
      {"de hat geschrieben", "Am 04.05.2026 10:12, Palm Cove Hotel hat geschrieben:"},
      {"fr", u8str(u8"Le lun. 4 mai 2026 à 10:12, Palm Cove Hotel <info@palmcove.example> a écrit :")},
      {"fr no-break space", u8str(u8"Le 4 mai 2026 à 10:12, Palm Cove Hotel <info@palmcove.example> a écrit\u00a0:")},
      {"es", u8str(u8"El lun, 4 may 2026 a las 10:12, Palm Cove Hotel (<info@palmcove.example>) escribió:")},
      {"it", "Il giorno lun 4 mag 2026 alle ore 10:12 Palm Cove Hotel <info@palmcove.example> ha scritto:"},
      {"nl Gmail", "Op ma 4 mei 2026 om 10:12 schreef Palm Cove Hotel <info@palmcove.example>:"},
      {"nl Apple", "Op 4 mei 2026, om 10:12 heeft Palm Cove Hotel <info@palmcove.example> het volgende geschreven:"},
      {"nl name first", "Palm Cove Hotel <info@palmcove.example> schreef op 4 mei 2026 10:12:"},
      {"id", "Pada tanggal Sen, 4 Mei 2026 pukul 10.12 Palm Cove Hotel <info@palmcove.example> menulis:"},
      {"id short", "Pada 4 Mei 2026 10.12, Resepsionis menulis:"},
      {"tl", "Noong Lun, Mayo 4, 2026 nang 10:12 AM, sumulat si Palm Cove Hotel <info@palmcove.example>:"},
      {"tl ay sumulat", "Noong Mayo 4, 2026 nang 10:12 AM, si Palm Cove Hotel <info@palmcove.example> ay sumulat:"},
      {"zh-Hans", u8str(u8"在 2026年5月4日 周一 上午10:12，Palm Cove Hotel <info@palmcove.example> 写道：")},
      {"zh-Hant", u8str(u8"Palm Cove Hotel <info@palmcove.example> 於 2026年5月4日 週一 上午10:12 寫道：")},
      {"ja Gmail", u8str(u8"2026年5月4日(月) 10:12 Palm Cove Hotel <info@palmcove.example>:")},
      {"ja Apple", u8str(u8"2026/05/04 10:12、Palm Cove Hotel <info@palmcove.example>のメール:")},
      {"ko Gmail", u8str(u8"2026년 5월 4일 (월) 오전 10:12, Palm Cove Hotel <info@palmcove.example>님이 작성:")},
      {"ko Apple", u8str(u8"2026. 5. 4. 오전 10:12, Palm Cove Hotel <info@palmcove.example> 작성:")},
      {"ru", u8str(u8"4 мая 2026 г., в 10:12, Palm Cove Hotel <info@palmcove.example> написал(а):")},
      {"pt", "Em seg., 4 de mai. de 2026 às 10:12, Palm Cove Hotel <info@palmcove.example> escreveu:"},
  };
  return h;
}

TEST(GuestText, ReplyHeadersInEachLanguageAndTheQuoteBelowThem) {
  const std::string guest = "Prima, tot vrijdag!";
  for (const auto& [name, header] : headers()) {
    // Marked with ">" and not (mail programs that paste the quote as it was).
    EXPECT_EQ(guestOwnText(guest + "\n\n" + header + "\n> Hi Sanne, the transfer is booked.\n> Reception"), guest)
        << name;
    // Without a date or an address the header could be the guest's own
    // words ("My wife wrote:"): only a quote below tells.
    if (header.find_first_of("@0123456789") == std::string::npos) continue;
    EXPECT_EQ(guestOwnText(guest + "\n\n" + header + "\n\nHi Sanne, the transfer is booked.\nReception"), guest)
        << name;
    // Flattened into one line by a single-line paste.
    EXPECT_EQ(guestOwnText(guest + "  " + header + " Hi Sanne, the transfer is booked."), guest) << name;
  }
}

TEST(GuestText, OriginalMessageForwardAndOutlookBlocks) {
  const std::string guest = "Hoi, klopt het dat ontbijt erbij zit?";
  for (const std::string block :
       {std::string("-----Original Message-----\nFrom: Palm Cove Hotel\nSent: Monday\nSubject: Booking"),
        std::string("---------- Forwarded message ---------\nFrom: Palm Cove Hotel <info@palmcove.example>"),
        std::string("Begin forwarded message:\n\nFrom: Palm Cove Hotel"),
        std::string("-------- Original-Nachricht --------\nBetreff: Buchung"),
        std::string("-------- Message original --------\nSujet: Réservation"),
        u8str(u8"---------- 전달된 메일 ----------\n제목: Booking"),
        std::string("From: Palm Cove Hotel <info@palmcove.example>\nSent: Monday, May 4, 2026 10:12\nTo: Jeroen"),
        std::string("Von: Palm Cove Hotel\nGesendet: Montag, 4. Mai 2026 10:12\nAn: Jeroen\nBetreff: Buchung"),
        u8str(u8"De : Palm Cove Hotel\nEnvoyé : lundi 4 mai 2026 10:12\nÀ : Jeroen\nObjet : Réservation"),
        u8str(u8"Début du message réexpédié :\n\nDe: Palm Cove Hotel"),
        std::string("De: Palm Cove Hotel\nEnviado: lunes, 4 de mayo de 2026\nPara: Jeroen\nAsunto: Reserva"),
        std::string("-----Messaggio originale-----\nDa: Palm Cove Hotel\nInviato: 4 maggio 2026\nOggetto: X"),
        std::string("Van: Palm Cove Hotel\nVerzonden: maandag 4 mei 2026 10:12\nAan: Jeroen\nOnderwerp: Boeking"),
        std::string("---------- Pesan terusan ---------\nDari: Palm Cove Hotel"),
        u8str(u8"------------------ 原始邮件 ------------------\n发件人: Palm Cove Hotel\n主题: Booking"),
        u8str(u8"-----原始郵件-----\n寄件者: Palm Cove Hotel\n主旨: Booking"),
        u8str(u8"差出人: Palm Cove Hotel\n送信日時: 2026年5月4日 10:12\n件名: Booking"),
        u8str(u8"---------- 전달된 메시지 ---------\n보낸 사람: Palm Cove Hotel\n제목: Booking"),
        u8str(u8"-------- Пересылаемое сообщение --------\nОт: Palm Cove Hotel\nТема: Booking")}) {
    EXPECT_EQ(guestOwnText(guest + "\n\n" + block + "\n\nDear Mr de Vries, breakfast is included."), guest) << block;
  }
  // A message forwarded in a chat is one paragraph; the guest goes on below.
  EXPECT_EQ(guestOwnText("[Forwarded]\nDear guest, the pool opens at 7 am.\nReception\n\n" + guest), guest);
  EXPECT_EQ(guestOwnText(guest + " [Forwarded] Dear guest, the pool opens at 7 am."), guest);
}

// The guest answers under the hotel's quote, or between its parts.
TEST(GuestText, AGuestWritingBelowTheQuote) {
  EXPECT_EQ(guestOwnText("> Guten Tag, Ihr Zimmer ist ab 14 Uhr bereit.\n\nDanke, dann kommen wir um drei."),
            "Danke, dann kommen wir um drei.");
  EXPECT_EQ(guestOwnText("Palm Cove Hotel wrote:\n> The shuttle leaves at 9 am.\n\nVale, allí estaremos"),
            "Vale, allí estaremos");
  EXPECT_EQ(guestOwnText("On Mon, 4 May 2026, Hotel <a@b.example> wrote:  > The shuttle leaves at 9.  Vale, gracias"),
            "Vale, gracias");
  EXPECT_EQ(guestOwnText("> Is 8 pm fine?\nJa, prima\n> And for how many?\nMet z'n vieren"),
            "Ja, prima\nMet z'n vieren");
  EXPECT_EQ(Lang::detect("> Hello, the room has a balcony with sea view.\n> Kind regards\nSuper, dank je wel!"), "nl");
  // A quote mark after the end of a sentence in a flattened paste.
  EXPECT_EQ(guestOwnText("Prima, tot vrijdag! > Hi Sanne, the transfer is booked."), "Prima, tot vrijdag!");
  EXPECT_EQ(guestOwnText("Is the price > 100 euro?"), "Is the price > 100 euro?");
}

// Nothing of the guest's left: the whole text decides, as before.
TEST(GuestText, AMessageThatIsOnlyAQuote) {
  EXPECT_EQ(guestOwnText("> Hallo, de transfer is geboekt voor vrijdag om 14:00 uur."), "");
  EXPECT_EQ(Lang::detect("> Hallo, de transfer is geboekt voor vrijdag om 14:00 uur."), "nl");
  EXPECT_EQ(Lang::detect("On Mon, 4 May 2026 at 10:12, Hotel <info@palmcove.example> wrote:\n> Dear guest, your room "
                         "is ready."),
            "en");
  EXPECT_EQ(Lang::detect("Von meinem iPhone gesendet"), "de");
  EXPECT_EQ(Lang::detect("\xF0\x9F\x91\x8D\n> Bonjour, votre chambre est prête."), "fr");  // 👍 only
}

// The guest's own text may say "wrote", "schrieb", "a écrit" and keep it.
TEST(GuestText, OwnTextThatMentionsWriting) {
  for (const std::string text : {
           std::string("I wrote to you yesterday about the baby cot, did you get my email?"),
           std::string("My wife wrote: can we have two extra towels please"),
           std::string("As I wrote on 4 May: we arrive at midnight.\nIs that ok?"),
           std::string("Ich hatte Ihnen gestern schon geschrieben: können wir den Transfer verschieben?"),
           u8str(u8"Comme je vous l'ai écrit hier, nous arrivons tard."),
           std::string("Zoals ik al schreef: we komen pas na middernacht aan."),
           std::string("From: the airport, how do we get to the hotel?"),
           std::string("I forwarded the message to my husband, he will call you."),
       })
    EXPECT_EQ(guestOwnText(text), text);
}

TEST(GuestText, SignaturesFootersAndContactBlocks) {
  EXPECT_EQ(guestOwnText("Danke!\n\nViele Grüße\nAndreas\n-- \nTel. +49 170 1234567\nwww.example.de"),
            "Danke!\nViele Grüße\nAndreas");
  EXPECT_EQ(guestOwnText("Hay toallas?\n\nSaludos\nCarmen Lopez\nTel: +34 612 345 678\nReserva: 93847261\n"
                         "carmen@example.es\nCalle Mayor 5, 28013 Madrid"),
            "Hay toallas?\nSaludos\nCarmen Lopez");
  // Room numbers, dates and times are the guest's message, not a contact
  // block.
  for (const std::string text : {"Room 204\nThe shower is broken", "The shower is broken\nRoom 204, 2nd floor",
                                 "Hallo!\nWir kommen am 12.05.2026 um 22:30", "Hi\nflight KL1234 lands 22:30"})
    EXPECT_EQ(guestOwnText(text), text);
  for (const std::string& footer : std::vector<std::string>{
           "Sent from my iPhone", "Sent from Yahoo Mail for Android", "Get Outlook for iOS",
           "Von meinem iPhone gesendet", u8str(u8"Envoyé de mon iPhone"), "Enviado desde mi Samsung Galaxy",
           "Inviato da iPhone", "Verzonden vanaf mijn iPhone", "Dikirim dari iPhone saya",
           "Ipinadala mula sa aking iPhone", u8str(u8"发自我的iPhone"), u8str(u8"從我的 iPhone 傳送"),
           u8str(u8"iPhoneから送信"), u8str(u8"iPhone에서 보냄"), u8str(u8"Отправлено с iPhone")}) {
    EXPECT_EQ(guestOwnText("Hoe laat is het ontbijt?\n\n" + footer), "Hoe laat is het ontbijt?") << footer;
    EXPECT_EQ(guestOwnText("Hoe laat is het ontbijt?  " + footer), "Hoe laat is het ontbijt?") << footer;
  }
  EXPECT_EQ(Lang::detect("Ist das Frühstück im Preis inbegriffen?\n\nSent from my iPhone"), "de");
  EXPECT_EQ(Lang::detect("what time is breakfast tomorrow?\n\nVon meinem iPhone gesendet"), "en");
}

// A chat thread copied or exported from WhatsApp: the one who wrote last is
// the guest; the hotel's messages and the senders' prefixes go.
TEST(GuestText, ChatThreadsKeepTheLastSendersLines) {
  EXPECT_EQ(guestOwnText("[10:32, 05/05/2026] Palm Cove Hotel: Hi Sanne, the transfer is booked.\n"
                         "[10:41, 05/05/2026] Sanne: Prima,\ntot vrijdag!"),
            "Prima,\ntot vrijdag!");
  EXPECT_EQ(guestOwnText("[18:02, 05/05/2026] Claire: Bonjour !\n[18:05, 05/05/2026] Hotel: Hello Claire.\n"
                         "[18:07, 05/05/2026] Claire: Parfait"),
            "Bonjour !\nParfait");
  EXPECT_EQ(guestOwnText("05/05/2026, 18:02 - Palm Cove Hotel: Hello Mrs Garcia.\n05/05/2026, 18:10 - Lucia: Vale"),
            "Vale");
  EXPECT_EQ(guestOwnText("[10:41, 05/05/2026] Sanne: Prima!\n[10:42, 05/05/2026] Sanne: Tot vrijdag"),
            "Prima!\nTot vrijdag");
  // A line that only looks like a prefix: no thread.
  EXPECT_EQ(guestOwnText("[Room 12] Note: the shower is broken\n[Room 14] Note: all fine"),
            "[Room 12] Note: the shower is broken\n[Room 14] Note: all fine");
  EXPECT_EQ(Lang::detect("[09:12, 6.5.2026] Palm Cove Hotel: Good morning Mr Weber, your room is ready now.\n"
                         "[09:15, 6.5.2026] Klaus: Super, danke!"),
            "de");
}

// Guests paste anything: long runs of the marks the reading looks for end
// (each is looked at within a bounded distance) and leave a sane answer.
TEST(GuestText, LongPastesOfMarks) {
  std::string marks, footers;
  for (int i = 0; i < 20000; ++i) {
    marks += "x>: ";
    footers += "sent from ";
  }
  EXPECT_EQ(guestOwnText(std::string(100000, '>')), "");
  EXPECT_FALSE(guestOwnText(marks).empty());
  EXPECT_FALSE(guestOwnText("Danke! " + footers).empty());
  EXPECT_EQ(Lang::detect("Danke sehr! " + std::string(50000, '-') + "\n> " + std::string(50000, 'a')), "de");
  EXPECT_FALSE(guestOwnText("\xFF\xFE> \xC3 wrote:\n\xE5\x86").empty());
}

}  // namespace
}  // namespace quorvel
