<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Reasons</name>
    <message>
        <location filename="../reasons.cpp" line="32"/>
        <source>the PDF is damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="33"/>
        <source>the PDF is locked with a password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="34"/>
        <source>the file is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="36"/>
        <source>damaged, or not a .%1 document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="38"/>
        <location filename="../reasons.cpp" line="39"/>
        <location filename="../reasons.cpp" line="73"/>
        <source>could not be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="40"/>
        <source>not an ordinary file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="42"/>
        <source>a system file, never read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="44"/>
        <source>a link to a file outside the documents folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="45"/>
        <source>too large (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="47"/>
        <source>page %1 could not be drawn within %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="49"/>
        <source>page %1 could not be drawn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="51"/>
        <source>page %1 took too long to read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="53"/>
        <source>a document has at most %1 scanned pages read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="56"/>
        <source>a document&apos;s scanned pages may take at most %1 minutes to read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="60"/>
        <source>scanned pages %1 to %2 not read: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="81"/>
        <source>the download server cannot be reached. Check the internet connection, then try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="83"/>
        <source>the disk is full. Free some space, then try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="85"/>
        <source>the file could not be saved on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="87"/>
        <source>the download server refused the file. Try again later.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="89"/>
        <source>what arrived is not the whole model file. Try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="91"/>
        <source>the download broke off. Try again: it goes on where it stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="97"/>
        <source>The model could not be downloaded: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="109"/>
        <source>the model did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="111"/>
        <source>the model&apos;s reply broke off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="113"/>
        <source>the search model failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="115"/>
        <source>the model reported an error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="122"/>
        <source>the documents could not be saved after reading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="124"/>
        <source>the search model did not answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="126"/>
        <source>the search model reported an error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../reasons.cpp" line="130"/>
        <source>the model could not be started</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReplyTemplate</name>
    <message>
        <location filename="../ask_panel.cpp" line="26"/>
        <source>Check-in / out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="26"/>
        <source>Breakfast</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="27"/>
        <source>Transfer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="27"/>
        <source>House rules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="28"/>
        <source>Complaint</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AnswerDialog</name>
    <message>
        <location filename="../answer_dialog.cpp" line="18"/>
        <location filename="../answer_dialog.cpp" line="24"/>
        <source>Add the answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="26"/>
        <source>It goes into %1 in the documents folder, and every later guest who asks gets it, cited. Ctrl+Return saves, Esc cancels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="33"/>
        <source>&amp;Question</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="39"/>
        <source>&amp;Answer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="43"/>
        <source>The answer as a guest should read it, in whole sentences.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="57"/>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="60"/>
        <source>Ask it again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="63"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="106"/>
        <source>The answer could not be saved: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="112"/>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="115"/>
        <source>Saved. The documents are read again when the model runs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="120"/>
        <source>Saved. Reading the documents again…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="129"/>
        <source>Saved, but the documents could not be read again: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../answer_dialog.cpp" line="132"/>
        <source>Saved and read: the next guest who asks gets this answer.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AppDelegate</name>
    <message>
        <location filename="../app_delegate.cpp" line="136"/>
        <source>About Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="138"/>
        <source>Quorvel answers hotel guests from the hotel&apos;s own documents, on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="141"/>
        <source>Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="142"/>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="145"/>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="151"/>
        <source>Cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="152"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="153"/>
        <source>Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="154"/>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="157"/>
        <source>History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="158"/>
        <source>Keep conversation history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="162"/>
        <source>Forget a guest…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="165"/>
        <source>Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="166"/>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="290"/>
        <location filename="../app_delegate.cpp" line="302"/>
        <location filename="../app_delegate.cpp" line="318"/>
        <location filename="../app_delegate.cpp" line="323"/>
        <source>Forget a guest</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="291"/>
        <source>Every kept message and reply that contains this text is removed — a guest&apos;s name, passport or room number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="303"/>
        <source>Remove the %n kept reply(s) whose message or reply contains “%1”, and the text wherever else Quorvel keeps it? This cannot be undone.</source>
        <translation>
            <numerusform>Remove the %n kept reply whose message or reply contains “%1”, and the text wherever else Quorvel keeps it? This cannot be undone.</numerusform>
            <numerusform>Remove the %n kept replies whose message or reply contains “%1”, and the text wherever else Quorvel keeps it? This cannot be undone.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="308"/>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="319"/>
        <source>%n kept reply(s) removed.</source>
        <translation>
            <numerusform>%n kept reply removed.</numerusform>
            <numerusform>%n kept replies removed.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="324"/>
        <source>The text could not be removed everywhere:
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="163"/>
        <location filename="../app_delegate.cpp" line="272"/>
        <source>Clear conversation history</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../app_delegate.cpp" line="273"/>
        <source>Delete the %n recorded reply(s) and the list of unanswered questions? This cannot be undone.</source>
        <translation>
            <numerusform>Delete the %n recorded reply and the list of unanswered questions? This cannot be undone.</numerusform>
            <numerusform>Delete the %n recorded replies and the list of unanswered questions? This cannot be undone.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="276"/>
        <source>Clear history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="277"/>
        <location filename="../app_delegate.cpp" line="309"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AppModel</name>
    <message>
        <location filename="../app_model.cpp" line="100"/>
        <source>Hotel rules, prices, contracts — they stay on this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="101"/>
        <source>Documents (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="128"/>
        <source>The model is stopping…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="131"/>
        <source>The model is starting: a reply can be written in a moment.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="133"/>
        <source>No reply can be written: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="134"/>
        <source>No reply can be written: the model is not installed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="146"/>
        <source>%1 tokens/s · %2 s · offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="308"/>
        <source>Reading %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="325"/>
        <source>The documents could not be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="414"/>
        <source>The reply was not finished: %1. “Write reply” starts it again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="415"/>
        <source>The reply was not finished: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="481"/>
        <source>No reply: the clipboard holds no text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="482"/>
        <source>No reply: another reply is being written — try again in a moment</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="484"/>
        <source>No reply: the model is not running — start it first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="491"/>
        <source>Reply copied to the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="493"/>
        <source>No reply: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AskPanel</name>
    <message>
        <location filename="../ask_panel.cpp" line="76"/>
        <source>Guest&apos;s language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="114"/>
        <source>Reply to a guest</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="220"/>
        <source>The message is long: the reply uses its first %L1 characters, the rest was left out.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="267"/>
        <source>Reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="268"/>
        <source>not in the documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="272"/>
        <source>not finished — do not send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="276"/>
        <source>written for the previous message</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="281"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="285"/>
        <source>Copy for the guest</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="287"/>
        <location filename="../ask_panel.cpp" line="372"/>
        <source>Copies the reply without the source numbers ([1]) and without Markdown marks (**)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="305"/>
        <source>Where it comes from</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="339"/>
        <source>Optional: the guest&apos;s message (template works without it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="340"/>
        <source>Paste the guest&apos;s message in any language…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="349"/>
        <source>Writing…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="349"/>
        <source>Write reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="367"/>
        <source>The reply shown was written for the previous message: write the reply to this one</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocList</name>
    <message>
        <location filename="../docs_panel.cpp" line="87"/>
        <source>Remove document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="88"/>
        <source>Remove “%1”? It is deleted from the documents folder, and replies no longer use it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="90"/>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="91"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocsPanel</name>
    <message>
        <location filename="../docs_panel.cpp" line="271"/>
        <source>Partly read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="265"/>
        <source>Not read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="77"/>
        <source>Remove…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="163"/>
        <source>Documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="171"/>
        <source>Drop files here: rules, prices, contracts (txt, md, pdf, docx).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="187"/>
        <source>Add documents…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="188"/>
        <source>Add hotel templates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="189"/>
        <source>Load sample hotel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="190"/>
        <source>Open folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="192"/>
        <source>Unanswered questions</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../docs_panel.cpp" line="238"/>
        <source>%n passage(s)</source>
        <translation>
            <numerusform>%n passage</numerusform>
            <numerusform>%n passages</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="244"/>
        <source>Not read yet: the model is not running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="245"/>
        <source>Not read yet</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::EngineStatus</name>
    <message>
        <location filename="../app_states.cpp" line="119"/>
        <source>Model stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="119"/>
        <source>Not installed — open to install</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="120"/>
        <source>Starting the local model…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="121"/>
        <source>Writing a reply…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="121"/>
        <source>Ready · works offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="122"/>
        <source>Error: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="134"/>
        <source>engine not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="135"/>
        <source>model not downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="136"/>
        <source>search model not downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="137"/>
        <source>model file damaged: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="138"/>
        <source>model server did not start (see logs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="140"/>
        <source>port %1 is used by another program (quorvel-cli stop ends a model server of ours)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="142"/>
        <source>the model server stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="144"/>
        <source>the model servers were not started: their key cannot be made in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="179"/>
        <source>Quorvel&apos;s model server is missing from its installation: reinstall Quorvel (sudo apt install --reinstall quorvel).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="184"/>
        <source>llama-server is not installed: install the llama.cpp package (Debian 13 or later: sudo apt install llama.cpp) or build Quorvel with its engine (cmake -DQUORVEL_BUNDLE_ENGINE=ON), then press “Try again”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="199"/>
        <source>A model file is damaged: install it again on the setup screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="201"/>
        <source>The model files are missing: install them on the setup screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="203"/>
        <source>Press “Start again”, or write the reply: the model starts first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="205"/>
        <source>Press “Try again”. If it fails again, restart the computer: it frees the memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="207"/>
        <source>Another program holds the model&apos;s port: close it (or ask who runs it), then press “Try again”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="209"/>
        <source>Make room on the disk, or remove what is in the way of the key file, then press “Try again”.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::GapsPanel</name>
    <message>
        <location filename="../gaps_panel.cpp" line="59"/>
        <source>Unanswered questions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="65"/>
        <source>Look again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="69"/>
        <source>Back to the reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="90"/>
        <source>The guests&apos; words</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="97"/>
        <source>Open documents folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="102"/>
        <source>Ask it again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="105"/>
        <source>Puts the question in the reply panel: after you added the answer to a document, the reply shows whether the documents answer it now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="114"/>
        <source>Add the answer…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="116"/>
        <source>Writes the answer into the documents once: every later guest who asks gets it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="147"/>
        <source>Reading the conversation history…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="149"/>
        <source>The list could not be made: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="151"/>
        <source>No guest messages in the last %n day(s).</source>
        <translation>
            <numerusform>No guest messages in the last day.</numerusform>
            <numerusform>No guest messages in the last %n days.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="153"/>
        <source>Every guest message of the last %n day(s) was answered from your documents.</source>
        <translation>
            <numerusform>Every guest message of the last day was answered from your documents.</numerusform>
            <numerusform>Every guest message of the last %n days was answered from your documents.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="155"/>
        <source>The last %n day(s): %1 questions the documents did not answer. Write the answers into a document of the folder.</source>
        <translation>
            <numerusform>The last day: %1 questions the documents did not answer. Write the answers into a document of the folder.</numerusform>
            <numerusform>The last %n days: %1 questions the documents did not answer. Write the answers into a document of the folder.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="160"/>
        <source>(Grouped by exact text: the search model is not running.)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="169"/>
        <source>documents changed since</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="170"/>
        <source>answered %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::PrivacyBadge</name>
    <message>
        <location filename="../shared_views.cpp" line="106"/>
        <source>Network: this computer only (127.0.0.1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="148"/>
        <source>Start model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="149"/>
        <source>Start again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="150"/>
        <source>Try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="163"/>
        <source>Made for small hotels · runs on this computer</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::SetupView</name>
    <message>
        <location filename="../setup_view.cpp" line="32"/>
        <source>A private AI for your hotel. Answers guests from your own documents. Nothing leaves this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="39"/>
        <source>One-time download of free open models (~3 GB). After that it works without internet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="53"/>
        <source>Install in one step</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="74"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../setup_view.cpp" line="75"/>
        <source>What has arrived is kept: the next install goes on from there.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::Tray</name>
    <message>
        <location filename="../tray.cpp" line="46"/>
        <source>Keep all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="48"/>
        <source>30 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="50"/>
        <source>90 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="52"/>
        <source>1 year</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../tray.cpp" line="54"/>
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n day</numerusform>
            <numerusform>%n days</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="136"/>
        <source>Model: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="138"/>
        <source>Last reply: %1 tokens/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="140"/>
        <source>Documents: %1 · passages: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="142"/>
        <source>Network: this computer only — nothing is sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="144"/>
        <source>Open Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="145"/>
        <source>Reply to the question in the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="147"/>
        <source>Add documents…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="148"/>
        <source>Add hotel templates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="149"/>
        <source>Open documents folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="150"/>
        <source>Re-read documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="152"/>
        <source>Unanswered questions…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="155"/>
        <source>Stop model (free memory)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="155"/>
        <source>Start model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="157"/>
        <source>Clear conversation history (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="160"/>
        <source>Keep conversation history: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="165"/>
        <source>Forget a guest…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="167"/>
        <source>Quit Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
