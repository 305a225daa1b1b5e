#include "answering/guest_words.h"

namespace quorvel {

// Words guests use in short messages, per language: the most common function
// words, greetings and thanks, chat shorthand and the hotel's own words. A
// word several languages share counts for each of them in part, so only the
// words that set a language apart carry weight. Written without accents where
// guests often leave them out; matching ignores accents on Latin letters.
const std::vector<GuestWords>& guestWords() {
  static const std::vector<GuestWords> lists{
      {"en", R"(the a an is are am was were be been do does did can could would will should may might must have has had
i you he she it we they me my your our their us him her them this that these those what when where who why how which
there here any some no not yes thanks thank thx ty hey good morning evening night and or but if so to of in on at for
from with by about after before until up down out over time room rooms breakfast dinner lunch price cost costs much
many what's where's whats wheres how's there's is'nt isnt i'm im we're we'll i'll can't cant don't dont doesn't
doesnt isn't didn't won't need want get got free open closed included early tomorrow today tonight now still just
also too very more extra another again help sure great nice lovely stay arrive arriving leave leaving towels pillow
pillows key keys door water hot cold shower broken working work beach far near nearby walk bus train station pay
cash kind regards dear guys anyone someone able possible allowed wait waiting)"},
      {"id",
       R"(apa apakah ada adakah berapa bisa bisakah boleh mau minta tolong saya aku kami kita anda kamu kak mas mbak
pak bu bapak ibu di ke dari dan atau yang ini itu untuk dengan tidak nggak gak ga enggak engga belum sudah udah jam
hari besok kemarin nanti sekarang pagi siang sore malam kamar sarapan makan minum air panas dingin kunci handuk bantal
selimut harga biaya bayar kartu tunai gratis termasuk terima kasih makasih trims halo hai selamat maaf mana dimana
kapan bagaimana gimana kenapa kok dong ya deh sih kah lagi juga saja aja banyak sedikit satu dua tiga tambah pesan
pesawat bandara jemput antar taksi mobil pantai kolam renang dekat jauh sini situ sana buka tutup rusak mati tas koper
titip pakai mohon silakan tamu lantai resepsionis sopir supir jalan kereta berangkat tiba sampai datang telat
terlambat kalau kalo sama tadi lewat nya wifinya kamarnya agak bisa dicek tidak bisa harus perlu butuh)"},
      {"tl",
       R"(ang ng mga sa si ni kay po opo ba na pa lang naman din rin ko mo niya namin natin nila kami kayo sila ako ikaw
ka siya ito iyan iyon yan yun yung dito diyan doon saan kailan paano bakit ano anong sino magkano ilan may meron wala
walang hindi oo pwede puwede pwedeng puwedeng pahingi pakibigay paki salamat maraming magandang umaga hapon gabi
tanghali kuya ate kwarto kuwarto almusal hapunan tanghalian tubig mainit malamig susi tuwalya unan kumot presyo bayad
libre kasama bukas sarado sira gumagana nasaan nasa malapit malayo dagat sasakyan darating dumating aalis umalis
kailangan gusto para dahil kasi tapos pagkatapos bago habang kung pag at mag nang namin kami lahat mamaya ngayon
kanina sana talaga ayaw papunta papuntang galing mula hanggang)"},
      {"de",
       R"(der die das den dem des ein eine einen einem einer ist sind war bin bist gibt es ich du er sie wir ihr mein
meine unser unsere euer nicht kein keine kann können kannst könnte könnten darf dürfen muss müssen möchte möchten
will wollen haben habe hat habt hätte wäre wann wie wo was wer warum welche welcher woher wohin und oder aber auch
noch schon nur sehr bitte danke dank vielen herzlichen lieben hallo guten morgen tag abend nacht tschüss zimmer
frühstück abendessen uhr heute morgens abends gestern jetzt später früh kostet kosten preis kostenlos inklusive
inbegriffen mit ohne für von vom zum zur zu im am an auf aus bei nach bis über unter schlüssel handtuch handtücher
kissen decke wasser warm kalt dusche heizung klimaanlage funktioniert geht kaputt strand weit nah nähe fahrer
flughafen bahnhof zug parkplatz parkplätze parken gepäck koffer aufzug wlan passwort rezeption ankunft abreise
reservierung buchung entschuldigung leider gerne gern möglich brauche brauchen euch ihnen uns mir dir schön gut)"},
      {"fr",
       R"(le la les l' un une des du de d' au aux est sont suis es êtes avez avons ai a il elle on nous vous je j' tu
ils elles ce c' cette ces mon ma mes notre nos votre vos quel quelle quels quelles qui que qu' quoi où ou comment
combien quand pourquoi est-ce y pas ne n' plus très aussi encore déjà bien merci beaucoup bcp svp stp s'il plaît
bonjour bonsoir salut coucou bonne nuit soir matin demain aujourd'hui maintenant tard tôt chambre petit déjeuner
petit-déjeuner déj dîner prix coûte gratuit gratuite inclus compris avec sans pour par dans sur chez après avant
jusqu'à clé clef serviette serviettes oreiller couverture eau chaude froide douche climatisation clim marche
fonctionne cassé plage loin près proche chauffeur aéroport gare navette voiture bagages valise ascenseur réception
arrivée départ réservation désolé désolée pouvez pourriez peut puis-je puis peux voudrais besoin faut sera serons
arriverons merci d'avance cordialement)"},
      {"es",
       R"(el la los las lo un una unos unas es son está están estoy hay ha he tengo tienen tiene tienes hacer puedo
puede pueden podemos podría podrían quiero quisiera necesito necesitamos qué que cuál cuándo cuando dónde donde cómo
como cuánto cuánta quién por para con sin de del al en y o pero también muy más ya todavía aún sí no gracias muchas
mil porfa favor hola holaa buenos buenas días tardes noches mañana hoy ahora tarde temprano habitación cuarto desayuno
cena almuerzo precio cuesta gratis incluido incluida llave toalla toallas almohada manta agua caliente fría ducha
aire acondicionado funciona roto playa lejos cerca conductor chofer aeropuerto estación coche auto equipaje maleta
ascensor recepción llegada salida reserva perdón disculpe disculpa siento vale nuestra nuestro nuestros mi mis su
sus usted ustedes nos les le me te hasta desde llegamos llegaremos salimos pagar tarjeta efectivo clave contraseña)"},
      {"it",
       R"(il lo la i gli le l' un uno una un' è e sono siamo sei ho abbiamo avete ha hanno c'è ci posso possiamo può
potete potreste vorrei vorremmo serve servono bisogno che cosa cos'è quale qual quando dove dov'è come quanto quanti
quanta chi perché per con senza di del della dei delle dello degli da dal dalla dall' in nel nella nei a al alla alle
ai agli o ma anche molto più già ancora sì no non grazie mille prego piacere ciao salve buongiorno buonasera
buonanotte domani oggi stasera stamattina adesso ora tardi presto camera stanza colazione cena pranzo prezzo costa
costo gratis gratuito gratuita incluso inclusa chiave asciugamano asciugamani cuscino coperta acqua calda fredda
doccia aria condizionata funziona rotto spiaggia lontano lontana vicino autista aeroporto stazione macchina bagagli
valigia ascensore arrivo partenza prenotazione scusi scusate scusa mi vi ti nostro nostra vostro vostra mio mia suo
sua orario parcheggio arriviamo arriveremo pagare carta contanti grz)"},
      {"nl",
       R"(de het een is zijn ben bent was waren heb hebt heeft hebben kan kunt kunnen kun mag mogen moet moeten wil
willen zou zouden ik jij je u wij we zij ze hij mijn onze ons jullie uw wat wanneer waar hoe hoeveel hoelang wie
waarom welke er hier daar en of maar ook nog al niet geen wel heel erg veel meer graag alstublieft alsjeblieft aub
dank dankjewel dankuwel bedankt hartelijk hoi hallo goedemorgen goedemiddag goedenavond morgen vandaag vanavond
vanochtend nu laat vroeg kamer ontbijt avondeten prijs kost kosten gratis inbegrepen inclusief met zonder voor van
naar bij op uit om tot na sleutel handdoek handdoeken kussen deken water warm koud douche airco werkt kapot strand
ver dichtbij buurt vliegveld luchthaven station bagage koffer receptie aankomst vertrek reservering excuus nodig even
wachtwoord parkeren betalen pinnen pin contant)"},
      // Portuguese beside Spanish and Italian, so that their shared words
      // ("de", "por", "no") do not make a Portuguese guest Spanish.
      {"pt",
       R"(o a os as um uma é são está estão tem têm temos há eu você vocês nós meu minha nosso nossa do da dos das no
na nos nas ao à pelo pela para com sem de em e ou mas também muito mais já ainda sim não obrigado obrigada olá oi bom
boa dia tarde noite amanhã hoje agora cedo quarto café manhã pequeno-almoço jantar almoço preço custa grátis incluído
incluída chave toalha toalhas travesseiro água quente fria chuveiro ar funciona quebrado praia longe perto motorista
aeroporto estação carro bagagem mala elevador recepção chegada saída reserva desculpe desculpa posso podemos pode
quero queria gostaria preciso onde quando quanto qual quais como que fica vocês senha estacionamento)"},
      // Catalan, Galician and Afrikaans beside their reply-language
      // neighbours, so that a guest writing them is named as such, and never
      // taken for a language of another family.
      {"ca",
       R"(bon dia nit si us plau moltes gràcies mercès quina quin quant quants hi ha habitació esmorzar sopar dinar
aigua calenta dutxa tovallola tovalloles aparcament trasllat aeroport arribarem arribem voldria podem puc tenim
aquesta aquest també però molt més amb sense fins demà avui l'hotel l'habitació l'esmorzar l'aeroport és està)"},
      {"gl",
       R"(bos días boas noites grazas moitas moito almorzo xantar cea aparcadoiro equipaxe auga quente ducha toalla
cuarto rexistro entrada saída traslado facer podo podemos quería onde está hai unha máis tamén non ten)"},
      {"af", R"(goeie môre middag aand dankie baie asseblief ontbyt aandete middagete parkering uitteken inteken
handdoek kry lughawe swembad lugversorger pendeldiens eers aankom ingesluit prys kamer ons julle jy ek nie
werk hoe laat hoeveel kos waar is daar kan sal)"},
      {"ru", R"(и в во не на я мы вы он она они что как где когда сколько можно нужно нужен нужна есть нет да спасибо
пожалуйста привет здравствуйте добрый доброе утро день вечер ночь номер завтрак ужин обед цена стоит стоимость
бесплатно бесплатный включен включено ключ полотенце полотенца подушка вода горячая холодная душ кондиционер работает
сломался пляж далеко близко рядом водитель аэропорт такси багаж чемодан лифт ресепшен заезд выезд бронь бронирование
извините простите у с к от до за по из о об мне нам вам нас вас это этот эта тут там ещё еще уже очень большое
заранее подскажите скажите будет будем приедем опоздаем у вас)"},
      // Ukrainian and Belarusian beside Russian: a short Ukrainian or
      // Belarusian message is not Russian.
      {"uk",
       R"(і й в у не на я ми ви він вона вони що як де коли скільки можна потрібно є немає так дякую дуже будь ласка
привіт вітаю доброго добрий ранку день вечір ніч номер сніданок вечеря обід ціна коштує безкоштовно включено ключ
рушник рушники подушка вода гаряча холодна душ кондиціонер працює пляж далеко близько поруч водій аеропорт таксі
багаж валіза ліфт рецепція заїзд виїзд бронювання вибачте з до за по від мені нам вам нас вас це цей ця тут там ще
вже чи котрій годині буде будемо приїдемо запізнимося вайфай вайфаю басейн)"},
      {"be", R"(і ў у не на я мы вы ён яна яны што як дзе калі колькі можна трэба ёсць няма так дзякуй вялікі вельмі
ласка прывітанне добры дзень добрай раніцы вечар ноч нумар сняданак вячэра абед кошт каштуе бясплатна ключ ручнік
падушка вада гарачая халодная душ кандыцыянер працуе пляж далёка блізка побач кіроўца аэрапорт таксі багаж ліфт
рэцэпцыя заезд выезд прабачце з да за па ад мне нам вам нас вас гэта тут там яшчэ ўжо ці будзе)"},
  };
  return lists;
}

const std::vector<GuestWords>& romanizedWords() {
  static const std::vector<GuestWords> lists{
      {"ru",
       R"(privet poka svidaniya zdravstvuyte zdravstvuite zdrastvuyte zdrastvuite zdravstvujte zdrasti dobryi dobryy dobriy dobrij
dobryj dobroe dobroye dobrogo dobraya utro utra vecher vechera dnya spasibo spasiba bolshoe pozhaluysta pozhaluista
pozhalujsta pojaluista pojalujsta pozhalsta mozhno mojno nelzya kogda skolko skolka stoit stoimost gde kuda otkuda
pochemu zachem kakoi kakoy kakoj kakaya kakie kotoryi chto shto chego nuzhno nuzhen nuzhna nujno nujen mne
vy menya nomer nomere nomera zavtrak zavtraka obed uzhin uzhina vyezd viezd vyezda zaezd zaezda pozdniy
pozdnij pozdnii ranniy rannij rannii parkovka parkovku besplatno platno dengi rublei rublej evro yest estli
segodnya zavtra vchera utrom vecherom nochyu seichas sejchas pozhe ranshe polotentse polotentsa polotenca kluch klyuch
klyuchi dver rabotaet slomalsya slomalas kondicioner konditsioner voda vody goryachey goryachei holodnaya
kholodnaya dush tualet okno krovat podushka odeyalo uborka uborku pomenyat pomoch pomogite skazhite podskazhite
khorosho horosho ochen ploho khotel khotela hotela khochu hochu mozhete mozhem budet byl bylo byla kak
zdes gostinitsa gostinitsy oteli aeroporta vyzvat zakazat zakazal bronirovanie oplata
oplatit kartoy kartoi nalichnymi my kto pozdno rano priedem priedu priedet priezzhaem priehat priekhat uezzhaem
uekhat vstretit vstretite vstretyat izvinite prostite basseyn bassein plyazh plyazha dostavka taksi noch dnem sutki
sutok chelovek dvoe troe rebenok deti detey zavtraka nochyu mozhet nado dolgo blizko daleko ryadom poluchit schet
schyot poest nedaleko otel otelya oteli)"},
      {"ja", R"(konnichiwa konnichiha konbanwa ohayou ohayo ohayougozaimasu arigatou arigato arigatougozaimasu
gozaimasu gozaimasuka sumimasen suimasen onegaishimasu onegaisimasu onegai kudasai kudasaimasenka desu desuka deshou
deshita masu masuka mashita masen arimasu arimasuka arimasen imasu imasuka dekimasu dekimasuka dekimasen shimasu
shitai shitaidesu itadakemasu itadakemasuka heya heyano kagi kagiwo nakushimashita wasuremashita nanji nanjikara
nanjimade doko dokodesuka ikura ikuradesuka chekkuin chekkuauto choushoku chooshoku choshoku asagohan bangohan
yoyaku yoyakushita eakon kowareta kowaremashita ofuro onsen taoru mizu oyu kuukou kukou takushii yonde
yobitai hoshii daijoubu daijobu wakarimasen wakarimashita totemo oishii yoroshiku genki nandesuka
mouichido chuushajou chuushajo basutaoru pasuwaado pasuwado waifai oshiete furonto robii resutoran erebeetaa
nimotsu azukatte tsukaemasu tsukaemasenka ashita kyou konban yoru asa hiru ato sukoshi chotto onaji)"},
      {"ko", R"(annyeonghaseyo annyonghaseyo anyonghaseyo annyeong kamsahamnida gamsahamnida gamsahabnida komawoyo
gomawoyo gomapseumnida juseyo jusaeyo isseoyo isseoyo isseumnikka itsseumnikka eopseoyo eodi eodiyeyo eodieyo
eolma eolmayeyo myeotsi myeossi sigan bangi yeolsoe jamulsoe joesonghamnida mianhamnida sillyehamnida
hwajangsil chekeuin chekeuaut achim achimsiksa jeomsim jeonyeok yeyak gonghang taeksi oncheon suyeongjang
doeyo dwaeyo haeyo hamnida imnida imnikka ieyo yeyo sipeoyo sipseumnida butakdeuryeoyo buthakdeuryeoyo
algesseumnida moreugesseoyo gwaenchanayo jal joshik josik jochik myeot eotteoke eotteokhe otteoke sukso
juchajang eonje jeongmal jinjja joayo bimilbeonho sukbak yeogi jeogi aniyo manhi mul bang sikdang pyeonuijeom
geuncheo sugeon jusil bulleo tto allyeo)"},
      // Languages without replies of their own, typed in Latin letters:
      // Hindi, Greek, Thai.
      {"hi",
       R"(namaste namaskar kya kyaa hain haan nahi nahin nhi aap aapka aapke aapko apka apke mujhe muje mujhko humko hume humein
chahiye chaiye chahie kitne kitna kitni baje kahan kaha kaise kese kaisa raha rahi rahe karte karna karo kijiye
dijiye sakte sakti sakta milega milegi subah raat shaam aaj abhi bahut bohot bahot achha accha acha theek thik
dhanyavaad dhanyawad shukriya bhai bhaiya kamra kamre paani pani thanda khana nashta chabi chaabi aayenge aaunga
aaungi aayega jaana hoga hogi liye kaam rehta rehti khula batao bataiye kuch kyun kyon hamara hamare hamari meri
apna yahan wahan jaldi)"},
      {"el", R"(kalimera kalispera kalinixta kalinychta geia geiasou yiasou yasou yassou efxaristo efharisto eucharisto
euxaristw efxaristw efcharisto parakalo parakalw einai ine yparxei iparxei iparxi ypirxe mporoume boroume mporo
mporeite boreite thelo thelw theloume thelome xenodoxeio xenodoxio domatio domatiou paralia proino petseta petsetes
kleidi leitourgei litourgi ftasoume ftanoume vrady vradi akomi akoma kostizei kanoume oxi ochi entaxei entaksei
endaxi zesto)"},
      {"th", R"(sawasdee sawatdee sawadee sawaddee sawasdi krub krab khrap khrup khob khop khun aroi ngai perm toem khor
sanam arai mong)"},
  };
  return lists;
}

const char* arabicChatWords() {
  return R"(shukran shokran marhaba momken mumkin mumken inshallah yalla habibi keef kif kteer ktir kteir feen fein
msh mish enta enti ahlan kheir khair tayyib mafi zyada ziyada bokra bukra leil lail ayya sokhne mayye)";
}

const char* pinyinWords() {
  return R"(nihao ninhao xiexie xiexieni qingwen qing wen women nimen tamen shenme zenme zenmeyang nali nar zheli nali
duoshao jidian jige keyi kebukeyi meiyou youmeiyou xuyao xiang yao neng nengbuneng zaocan zaofan wancan wufan
fangjian fangka yaoshi mima ruzhu tuifang yanchi tiqian jichang chuzuche dache jieji songji tingchechang tingche
youyongchi jianshenfang maojin yushi reshui kongtiao dianshi xiyiji chuifengji xingli jicun yajin xinyongka xianjin
fujin chaoshi ditie zhan haitan canting shinei mingtian jintian zuotian zaoshang wanshang xiawu shangwu xianzai
haode hao mei wenti duibuqi bu haoyisi xiexie laoban fuwuyuan qiantai baohan mianfei shoufei qian kuai yuan jiage
gongli fenzhong xiaoshi daodi mashang zhidao bangmang bang zhuyi kuaile shengri ertong haizi chuang zhentou beizi)";
}

const char* hotelLoanwords() {
  return R"(wifi wi-fi password pass checkin check-in checkout check-out check late parking shuttle transfer pool spa gym
laundry service room roomservice room-service minibar hair dryer hairdryer lift elevator ac taxi delay delayed vegan
menu sunscreen lobby driver sorry ok okay please pls hello hi booking airport pickup pick-up flight baby crib card
reception arrival code safe)";
}

}  // namespace quorvel
