<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>Reasons</name>
    <message>
        <location filename="../reasons.cpp" line="32"/>
        <source>the PDF is damaged</source>
        <translation>PDF-файл повреждён</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="33"/>
        <source>the PDF is locked with a password</source>
        <translation>PDF-файл защищён паролем</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="34"/>
        <source>the file is empty</source>
        <translation>файл пустой</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="36"/>
        <source>damaged, or not a .%1 document</source>
        <translation>файл повреждён или это не документ .%1</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="38"/>
        <location filename="../reasons.cpp" line="39"/>
        <location filename="../reasons.cpp" line="73"/>
        <source>could not be read</source>
        <translation>не удалось прочитать</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="40"/>
        <source>not an ordinary file</source>
        <translation>это не обычный файл</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="42"/>
        <source>a system file, never read</source>
        <translation>системный файл, такие не читаются</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="44"/>
        <source>a link to a file outside the documents folder</source>
        <translation>ссылка на файл вне папки документов</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="45"/>
        <source>too large (%1)</source>
        <translation>слишком большой (%1)</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="47"/>
        <source>page %1 could not be drawn within %2 s</source>
        <translation>страницу %1 не удалось отрисовать за %2 с</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="49"/>
        <source>page %1 could not be drawn</source>
        <translation>страницу %1 не удалось отрисовать</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="51"/>
        <source>page %1 took too long to read</source>
        <translation>страница %1 читалась слишком долго</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="53"/>
        <source>a document has at most %1 scanned pages read</source>
        <translation>в одном документе читается не больше %1 отсканированных страниц</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="56"/>
        <source>a document&apos;s scanned pages may take at most %1 minutes to read</source>
        <translation>на отсканированные страницы документа отводится не больше %1 минут</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="60"/>
        <source>scanned pages %1 to %2 not read: %3</source>
        <translation>отсканированные страницы с %1 по %2 не прочитаны: %3</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="81"/>
        <source>the download server cannot be reached. Check the internet connection, then try again.</source>
        <translation>нет связи с сервером загрузки. Проверьте подключение к интернету и попробуйте снова.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="83"/>
        <source>the disk is full. Free some space, then try again.</source>
        <translation>диск заполнен. Освободите место и попробуйте снова.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="85"/>
        <source>the file could not be saved on this computer.</source>
        <translation>файл не удалось сохранить на этом компьютере.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="87"/>
        <source>the download server refused the file. Try again later.</source>
        <translation>сервер загрузки не отдал файл. Попробуйте позже.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="89"/>
        <source>what arrived is not the whole model file. Try again.</source>
        <translation>файл модели пришёл не целиком. Попробуйте снова.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="91"/>
        <source>the download broke off. Try again: it goes on where it stopped.</source>
        <translation>загрузка прервалась. Попробуйте снова: она продолжится с того места, где остановилась.</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="97"/>
        <source>The model could not be downloaded: %1</source>
        <translation>Модель не скачалась: %1</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="109"/>
        <source>the model did not answer</source>
        <translation>модель не ответила</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="111"/>
        <source>the model&apos;s reply broke off</source>
        <translation>ответ модели оборвался</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="113"/>
        <source>the search model failed</source>
        <translation>поисковая модель дала сбой</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="115"/>
        <source>the model reported an error</source>
        <translation>модель сообщила об ошибке</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="122"/>
        <source>the documents could not be saved after reading</source>
        <translation>прочитанные документы не удалось сохранить</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="124"/>
        <source>the search model did not answer</source>
        <translation>поисковая модель не ответила</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="126"/>
        <source>the search model reported an error</source>
        <translation>поисковая модель сообщила об ошибке</translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="130"/>
        <source>the model could not be started</source>
        <translation>модель не удалось запустить</translation>
    </message>
</context>
<context>
    <name>ReplyTemplate</name>
    <message>
        <location filename="../ask_panel.cpp" line="26"/>
        <source>Check-in / out</source>
        <translation>Заезд и выезд</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="26"/>
        <source>Breakfast</source>
        <translation>Завтрак</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="27"/>
        <source>Transfer</source>
        <translation>Трансфер</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="27"/>
        <source>House rules</source>
        <translation>Правила</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="28"/>
        <source>Complaint</source>
        <translation>Жалоба</translation>
    </message>
</context>
<context>
    <name>quorvel::app::AnswerDialog</name>
    <message>
        <location filename="../answer_dialog.cpp" line="18"/>
        <location filename="../answer_dialog.cpp" line="24"/>
        <source>Add the answer</source>
        <translation>Добавить ответ</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="26"/>
        <source>It goes into %1 in the documents folder, and every later guest who asks gets it, cited. Ctrl+Return saves, Esc cancels.</source>
        <translation>Ответ попадёт в %1 в папке документов, и каждый следующий гость, который спросит, получит его со ссылкой на источник. Ctrl+Return — сохранить, Esc — отменить.</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="33"/>
        <source>&amp;Question</source>
        <translation>&amp;Вопрос</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="39"/>
        <source>&amp;Answer</source>
        <translation>&amp;Ответ</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="43"/>
        <source>The answer as a guest should read it, in whole sentences.</source>
        <translation>Ответ так, как его должен прочитать гость, целыми предложениями.</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="57"/>
        <source>Save</source>
        <translation>Сохранить</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="60"/>
        <source>Ask it again</source>
        <translation>Спросить снова</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="63"/>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="106"/>
        <source>The answer could not be saved: %1</source>
        <translation>Ответ не сохранён: %1</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="112"/>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="115"/>
        <source>Saved. The documents are read again when the model runs.</source>
        <translation>Сохранено. Документы будут перечитаны, когда модель запустится.</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="120"/>
        <source>Saved. Reading the documents again…</source>
        <translation>Сохранено. Перечитываю документы…</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="129"/>
        <source>Saved, but the documents could not be read again: %1</source>
        <translation>Сохранено, но документы не перечитаны: %1</translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="132"/>
        <source>Saved and read: the next guest who asks gets this answer.</source>
        <translation>Сохранено и прочитано: следующий гость, который спросит, получит этот ответ.</translation>
    </message>
</context>
<context>
    <name>quorvel::app::AppDelegate</name>
    <message>
        <location filename="../app_delegate.cpp" line="136"/>
        <source>About Quorvel</source>
        <translation>Об Quorvel</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="138"/>
        <source>Quorvel answers hotel guests from the hotel&apos;s own documents, on this computer.</source>
        <translation>Quorvel отвечает гостям по документам гостиницы, на этом компьютере.</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="141"/>
        <source>Hide</source>
        <translation>Скрыть</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="142"/>
        <source>Quit</source>
        <translation>Выйти</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="145"/>
        <source>Edit</source>
        <translation>Правка</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="151"/>
        <source>Cut</source>
        <translation>Вырезать</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="152"/>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="153"/>
        <source>Paste</source>
        <translation>Вставить</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="154"/>
        <source>Select All</source>
        <translation>Выделить всё</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="157"/>
        <source>History</source>
        <translation>История</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="158"/>
        <source>Keep conversation history</source>
        <translation>Хранить историю разговоров</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="162"/>
        <source>Forget a guest…</source>
        <translation>Забыть гостя…</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="165"/>
        <source>Window</source>
        <translation>Окно</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="166"/>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="290"/>
        <location filename="../app_delegate.cpp" line="302"/>
        <location filename="../app_delegate.cpp" line="318"/>
        <location filename="../app_delegate.cpp" line="323"/>
        <source>Forget a guest</source>
        <translation>Забыть гостя</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="291"/>
        <source>Every kept message and reply that contains this text is removed — a guest&apos;s name, passport or room number:</source>
        <translation>Будут удалены все сохранённые сообщения и ответы, в которых есть этот текст, — имя гостя, номер паспорта или комнаты:</translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="303"/>
        <source>Remove the %n kept reply(s) whose message or reply contains “%1”, and the text wherever else Quorvel keeps it? This cannot be undone.</source>
        <translation>
            <numerusform>Удалить %n сохранённый ответ, в сообщении или ответе которого есть «%1», и этот текст везде, где его хранит Quorvel? Это нельзя отменить.</numerusform>
            <numerusform>Удалить %n сохранённых ответа, в сообщении или ответе которых есть «%1», и этот текст везде, где его хранит Quorvel? Это нельзя отменить.</numerusform>
            <numerusform>Удалить %n сохранённых ответов, в сообщении или ответе которых есть «%1», и этот текст везде, где его хранит Quorvel? Это нельзя отменить.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="308"/>
        <source>Remove</source>
        <translation>Удалить</translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="319"/>
        <source>%n kept reply(s) removed.</source>
        <translation>
            <numerusform>Удалён %n сохранённый ответ.</numerusform>
            <numerusform>Удалено %n сохранённых ответа.</numerusform>
            <numerusform>Удалено %n сохранённых ответов.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="324"/>
        <source>The text could not be removed everywhere:
%1</source>
        <translation>Текст не удалось удалить везде:
%1</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="163"/>
        <location filename="../app_delegate.cpp" line="272"/>
        <source>Clear conversation history</source>
        <translation>Очистить историю разговоров</translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="273"/>
        <source>Delete the %n recorded reply(s) and the list of unanswered questions? This cannot be undone.</source>
        <translation>
            <numerusform>Удалить %n сохранённый ответ и список вопросов без ответа? Это нельзя отменить.</numerusform>
            <numerusform>Удалить %n сохранённых ответа и список вопросов без ответа? Это нельзя отменить.</numerusform>
            <numerusform>Удалить %n сохранённых ответов и список вопросов без ответа? Это нельзя отменить.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="276"/>
        <source>Clear history</source>
        <translation>Очистить историю</translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="277"/>
        <location filename="../app_delegate.cpp" line="309"/>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>quorvel::app::AppModel</name>
    <message>
        <location filename="../app_model.cpp" line="100"/>
        <source>Hotel rules, prices, contracts — they stay on this computer</source>
        <translation>Правила, цены, договоры — они останутся только на этом компьютере</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="101"/>
        <source>Documents (%1)</source>
        <translation>Документы (%1)</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="128"/>
        <source>The model is stopping…</source>
        <translation>Модель останавливается…</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="131"/>
        <source>The model is starting: a reply can be written in a moment.</source>
        <translation>Модель запускается: ответ можно будет написать через мгновение.</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="133"/>
        <source>No reply can be written: %1</source>
        <translation>Ответ не написать: %1</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="134"/>
        <source>No reply can be written: the model is not installed.</source>
        <translation>Ответ не написать: модель не установлена.</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="146"/>
        <source>%1 tokens/s · %2 s · offline</source>
        <translation>%1 ток/с · %2 с · без интернета</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="308"/>
        <source>Reading %1</source>
        <translation>Читаю %1</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="325"/>
        <source>The documents could not be read: %1</source>
        <translation>Документы не прочитаны: %1</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="414"/>
        <source>The reply was not finished: %1. “Write reply” starts it again.</source>
        <translation>Ответ не дописан: %1. «Написать ответ» запустит его снова.</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="415"/>
        <source>The reply was not finished: %1</source>
        <translation>Ответ не дописан: %1</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="481"/>
        <source>No reply: the clipboard holds no text</source>
        <translation>Ответа нет: в буфере нет текста</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="482"/>
        <source>No reply: another reply is being written — try again in a moment</source>
        <translation>Ответа нет: пишется другой ответ — попробуйте чуть позже</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="484"/>
        <source>No reply: the model is not running — start it first</source>
        <translation>Ответа нет: модель не запущена — сначала запустите её</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="491"/>
        <source>Reply copied to the clipboard</source>
        <translation>Ответ скопирован в буфер</translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="493"/>
        <source>No reply: %1</source>
        <translation>Ответа нет: %1</translation>
    </message>
</context>
<context>
    <name>quorvel::app::AskPanel</name>
    <message>
        <location filename="../ask_panel.cpp" line="76"/>
        <source>Guest&apos;s language</source>
        <translation>Язык гостя</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="114"/>
        <source>Reply to a guest</source>
        <translation>Ответ гостю</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="220"/>
        <source>The message is long: the reply uses its first %L1 characters, the rest was left out.</source>
        <translation>Сообщение длинное: для ответа берутся его первые %L1 символов, остальное отброшено.</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="267"/>
        <source>Reply</source>
        <translation>Ответ</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="268"/>
        <source>not in the documents</source>
        <translation>в документах нет</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="272"/>
        <source>not finished — do not send</source>
        <translation>не дописан — не отправляйте</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="276"/>
        <source>written for the previous message</source>
        <translation>написан для предыдущего сообщения</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="281"/>
        <source>Copy</source>
        <translation>Копировать</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="285"/>
        <source>Copy for the guest</source>
        <translation>Копировать для гостя</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="287"/>
        <location filename="../ask_panel.cpp" line="372"/>
        <source>Copies the reply without the source numbers ([1]) and without Markdown marks (**)</source>
        <translation>Копирует ответ без номеров источников ([1]) и без разметки Markdown (**)</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="305"/>
        <source>Where it comes from</source>
        <translation>Откуда взято</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="339"/>
        <source>Optional: the guest&apos;s message (template works without it)</source>
        <translation>Не обязательно: сообщение гостя (шаблон работает и без него)</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="340"/>
        <source>Paste the guest&apos;s message in any language…</source>
        <translation>Вставьте сообщение гостя на любом языке…</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="349"/>
        <source>Writing…</source>
        <translation>Пишу…</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="349"/>
        <source>Write reply</source>
        <translation>Написать ответ</translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="367"/>
        <source>The reply shown was written for the previous message: write the reply to this one</source>
        <translation>Этот ответ написан для предыдущего сообщения: напишите ответ на это</translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocList</name>
    <message>
        <location filename="../docs_panel.cpp" line="87"/>
        <source>Remove document</source>
        <translation>Убрать документ</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="88"/>
        <source>Remove “%1”? It is deleted from the documents folder, and replies no longer use it.</source>
        <translation>Убрать «%1»? Файл будет удалён из папки документов, и ответы больше не будут на него опираться.</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="90"/>
        <source>Remove</source>
        <translation>Убрать</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="91"/>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocsPanel</name>
    <message>
        <location filename="../docs_panel.cpp" line="271"/>
        <source>Partly read: %1</source>
        <translation>Прочитан не весь: %1</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="265"/>
        <source>Not read: %1</source>
        <translation>Не прочитан: %1</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="77"/>
        <source>Remove…</source>
        <translation>Убрать…</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="163"/>
        <source>Documents</source>
        <translation>Документы</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="171"/>
        <source>Drop files here: rules, prices, contracts (txt, md, pdf, docx).</source>
        <translation>Перетащите сюда файлы: правила, цены, договоры (txt, md, pdf, docx).</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="187"/>
        <source>Add documents…</source>
        <translation>Добавить документы…</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="188"/>
        <source>Add hotel templates</source>
        <translation>Добавить шаблоны гостиницы</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="189"/>
        <source>Load sample hotel</source>
        <translation>Загрузить пример гостиницы</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="190"/>
        <source>Open folder</source>
        <translation>Открыть папку</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="192"/>
        <source>Unanswered questions</source>
        <translation>Вопросы без ответа</translation>
    </message>
    <message numerus="yes">
        <location filename="../docs_panel.cpp" line="238"/>
        <source>%n passage(s)</source>
        <translation>
            <numerusform>%n фрагмент</numerusform>
            <numerusform>%n фрагмента</numerusform>
            <numerusform>%n фрагментов</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="244"/>
        <source>Not read yet: the model is not running</source>
        <translation>Ещё не прочитан: модель не запущена</translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="245"/>
        <source>Not read yet</source>
        <translation>Ещё не прочитан</translation>
    </message>
</context>
<context>
    <name>quorvel::app::EngineStatus</name>
    <message>
        <location filename="../app_states.cpp" line="119"/>
        <source>Model stopped</source>
        <translation>Модель остановлена</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="119"/>
        <source>Not installed — open to install</source>
        <translation>Не установлен — откройте и установите</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="120"/>
        <source>Starting the local model…</source>
        <translation>Запускаю локальную модель…</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="121"/>
        <source>Writing a reply…</source>
        <translation>Пишу ответ…</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="121"/>
        <source>Ready · works offline</source>
        <translation>Готов · работает без интернета</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="122"/>
        <source>Error: %1</source>
        <translation>Ошибка: %1</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="134"/>
        <source>engine not found</source>
        <translation>не найден сервер модели (llama-server)</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="135"/>
        <source>model not downloaded</source>
        <translation>модель не скачана</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="136"/>
        <source>search model not downloaded</source>
        <translation>модель поиска не скачана</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="137"/>
        <source>model file damaged: %1</source>
        <translation>файл модели повреждён: %1</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="138"/>
        <source>model server did not start (see logs)</source>
        <translation>сервер модели не запустился (см. журналы)</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="140"/>
        <source>port %1 is used by another program (quorvel-cli stop ends a model server of ours)</source>
        <translation>порт %1 занят другой программой (quorvel-cli stop останавливает наш сервер модели)</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="142"/>
        <source>the model server stopped</source>
        <translation>сервер модели остановился</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="144"/>
        <source>the model servers were not started: their key cannot be made in %1</source>
        <translation>серверы модели не запущены: их ключ нельзя создать в %1</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="179"/>
        <source>Quorvel&apos;s model server is missing from its installation: reinstall Quorvel (sudo apt install --reinstall quorvel).</source>
        <translation>В установке Quorvel нет сервера модели: переустановите Quorvel (sudo apt install --reinstall quorvel).</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="184"/>
        <source>llama-server is not installed: install the llama.cpp package (Debian 13 or later: sudo apt install llama.cpp) or build Quorvel with its engine (cmake -DQUORVEL_BUNDLE_ENGINE=ON), then press “Try again”.</source>
        <translation>llama-server не установлен: установите пакет llama.cpp (Debian 13 и новее: sudo apt install llama.cpp) или соберите Quorvel вместе с его сервером (cmake -DQUORVEL_BUNDLE_ENGINE=ON), затем нажмите «Попробовать снова».</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="199"/>
        <source>A model file is damaged: install it again on the setup screen.</source>
        <translation>Файл модели повреждён: установите его заново на экране настройки.</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="201"/>
        <source>The model files are missing: install them on the setup screen.</source>
        <translation>Нет файлов моделей: установите их на экране настройки.</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="203"/>
        <source>Press “Start again”, or write the reply: the model starts first.</source>
        <translation>Нажмите «Запустить снова» или напишите ответ: модель сначала запустится.</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="205"/>
        <source>Press “Try again”. If it fails again, restart the computer: it frees the memory.</source>
        <translation>Нажмите «Попробовать снова». Если не выйдет, перезагрузите компьютер: это освободит память.</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="207"/>
        <source>Another program holds the model&apos;s port: close it (or ask who runs it), then press “Try again”.</source>
        <translation>Порт модели занят другой программой: закройте её (или спросите, кто её запустил), затем нажмите «Попробовать снова».</translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="209"/>
        <source>Make room on the disk, or remove what is in the way of the key file, then press “Try again”.</source>
        <translation>Освободите место на диске или уберите то, что мешает файлу ключа, затем нажмите «Попробовать снова».</translation>
    </message>
</context>
<context>
    <name>quorvel::app::GapsPanel</name>
    <message>
        <location filename="../gaps_panel.cpp" line="59"/>
        <source>Unanswered questions</source>
        <translation>Вопросы без ответа</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="65"/>
        <source>Look again</source>
        <translation>Проверить снова</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="69"/>
        <source>Back to the reply</source>
        <translation>К ответу гостю</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="90"/>
        <source>The guests&apos; words</source>
        <translation>Слова гостей</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="97"/>
        <source>Open documents folder</source>
        <translation>Открыть папку документов</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="102"/>
        <source>Ask it again</source>
        <translation>Спросить снова</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="105"/>
        <source>Puts the question in the reply panel: after you added the answer to a document, the reply shows whether the documents answer it now</source>
        <translation>Ставит вопрос в поле ответа: если вы дописали ответ в документ, ответ покажет, есть ли он теперь в документах</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="114"/>
        <source>Add the answer…</source>
        <translation>Добавить ответ…</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="116"/>
        <source>Writes the answer into the documents once: every later guest who asks gets it</source>
        <translation>Записывает ответ в документы один раз: его получит каждый следующий гость, который спросит</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="147"/>
        <source>Reading the conversation history…</source>
        <translation>Читаю историю разговоров…</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="149"/>
        <source>The list could not be made: %1</source>
        <translation>Список не составлен: %1</translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="151"/>
        <source>No guest messages in the last %n day(s).</source>
        <translation>
            <numerusform>За последний %n день сообщений гостей нет.</numerusform>
            <numerusform>За последние %n дня сообщений гостей нет.</numerusform>
            <numerusform>За последние %n дней сообщений гостей нет.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="153"/>
        <source>Every guest message of the last %n day(s) was answered from your documents.</source>
        <translation>
            <numerusform>На все сообщения гостей за последний %n день ответ нашёлся в документах.</numerusform>
            <numerusform>На все сообщения гостей за последние %n дня ответ нашёлся в документах.</numerusform>
            <numerusform>На все сообщения гостей за последние %n дней ответ нашёлся в документах.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="155"/>
        <source>The last %n day(s): %1 questions the documents did not answer. Write the answers into a document of the folder.</source>
        <translation>
            <numerusform>За последний %n день: вопросов без ответа в документах — %1. Допишите ответы в документ из папки.</numerusform>
            <numerusform>За последние %n дня: вопросов без ответа в документах — %1. Допишите ответы в документ из папки.</numerusform>
            <numerusform>За последние %n дней: вопросов без ответа в документах — %1. Допишите ответы в документ из папки.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="160"/>
        <source>(Grouped by exact text: the search model is not running.)</source>
        <translation>(Сгруппировано по точному тексту: модель поиска не запущена.)</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="169"/>
        <source>documents changed since</source>
        <translation>документы с тех пор менялись</translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="170"/>
        <source>answered %1</source>
        <translation>ответ добавлен %1</translation>
    </message>
</context>
<context>
    <name>quorvel::app::PrivacyBadge</name>
    <message>
        <location filename="../shared_views.cpp" line="106"/>
        <source>Network: this computer only (127.0.0.1)</source>
        <translation>Сеть: только этот компьютер (127.0.0.1)</translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="148"/>
        <source>Start model</source>
        <translation>Запустить модель</translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="149"/>
        <source>Start again</source>
        <translation>Запустить снова</translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="150"/>
        <source>Try again</source>
        <translation>Попробовать снова</translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="163"/>
        <source>Made for small hotels · runs on this computer</source>
        <translation>Для небольших гостиниц · работает на этом компьютере</translation>
    </message>
</context>
<context>
    <name>quorvel::app::SetupView</name>
    <message>
        <location filename="../setup_view.cpp" line="32"/>
        <source>A private AI for your hotel. Answers guests from your own documents. Nothing leaves this computer.</source>
        <translation>Частный ИИ для вашей гостиницы. Отвечает гостям по вашим документам. Ничего не уходит с этого компьютера.</translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="39"/>
        <source>One-time download of free open models (~3 GB). After that it works without internet.</source>
        <translation>Один раз скачаются бесплатные открытые модели (~3 ГБ). Дальше — без интернета.</translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="53"/>
        <source>Install in one step</source>
        <translation>Установить в один шаг</translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="74"/>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="75"/>
        <source>What has arrived is kept: the next install goes on from there.</source>
        <translation>Скачанное сохраняется: следующая установка продолжит с этого места.</translation>
    </message>
</context>
<context>
    <name>quorvel::app::Tray</name>
    <message>
        <location filename="../tray.cpp" line="46"/>
        <source>Keep all</source>
        <translation>Хранить всё</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="48"/>
        <source>30 days</source>
        <translation>30 дней</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="50"/>
        <source>90 days</source>
        <translation>90 дней</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="52"/>
        <source>1 year</source>
        <translation>1 год</translation>
    </message>
    <message numerus="yes">
        <location filename="../tray.cpp" line="54"/>
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n день</numerusform>
            <numerusform>%n дня</numerusform>
            <numerusform>%n дней</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="136"/>
        <source>Model: %1</source>
        <translation>Модель: %1</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="138"/>
        <source>Last reply: %1 tokens/s</source>
        <translation>Последний ответ: %1 ток/с</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="140"/>
        <source>Documents: %1 · passages: %2</source>
        <translation>Документов: %1 · фрагментов: %2</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="142"/>
        <source>Network: this computer only — nothing is sent</source>
        <translation>Сеть: только этот компьютер — ничего не уходит</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="144"/>
        <source>Open Quorvel</source>
        <translation>Открыть Quorvel</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="145"/>
        <source>Reply to the question in the clipboard</source>
        <translation>Ответить на вопрос из буфера</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="147"/>
        <source>Add documents…</source>
        <translation>Добавить документы…</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="148"/>
        <source>Add hotel templates</source>
        <translation>Добавить шаблоны гостиницы</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="149"/>
        <source>Open documents folder</source>
        <translation>Открыть папку документов</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="150"/>
        <source>Re-read documents</source>
        <translation>Перечитать документы</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="152"/>
        <source>Unanswered questions…</source>
        <translation>Вопросы без ответа…</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="155"/>
        <source>Stop model (free memory)</source>
        <translation>Остановить модель (освободить память)</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="155"/>
        <source>Start model</source>
        <translation>Запустить модель</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="157"/>
        <source>Clear conversation history (%1)</source>
        <translation>Очистить историю разговоров (%1)</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="160"/>
        <source>Keep conversation history: %1</source>
        <translation>Хранить историю разговоров: %1</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="165"/>
        <source>Forget a guest…</source>
        <translation>Забыть гостя…</translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="167"/>
        <source>Quit Quorvel</source>
        <translation>Выйти из Quorvel</translation>
    </message>
</context>
</TS>
