<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>ReplyTemplate</name>
    <message>
        <location filename="../ask_panel.cpp" line="24"/>
        <source>Check-in / out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="24"/>
        <source>Breakfast</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="25"/>
        <source>Transfer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="25"/>
        <source>House rules</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="26"/>
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
        <location filename="../app_delegate.cpp" line="97"/>
        <source>About Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="99"/>
        <source>Quorvel answers hotel guests from the hotel&apos;s own documents, on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="102"/>
        <source>Hide</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="103"/>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="106"/>
        <source>Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="112"/>
        <source>Cut</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="113"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="114"/>
        <source>Paste</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="115"/>
        <source>Select All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="117"/>
        <source>Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_delegate.cpp" line="118"/>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AppModel</name>
    <message>
        <location filename="../app_model.cpp" line="85"/>
        <source>Hotel rules, prices, contracts — they stay on this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="86"/>
        <source>Documents (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="119"/>
        <source>%1 tokens/s · %2 s · offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="172"/>
        <source>Download failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="227"/>
        <source>Reading %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="320"/>
        <source>The reply was not finished: %1. “Write reply” starts it again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="321"/>
        <source>The reply was not finished: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="391"/>
        <source>No reply: the clipboard holds no text</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="392"/>
        <source>No reply: another reply is being written — try again in a moment</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="394"/>
        <source>No reply: the model is not running — start it first</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="401"/>
        <source>Reply copied to the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_model.cpp" line="403"/>
        <source>No reply: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::AskPanel</name>
    <message>
        <location filename="../ask_panel.cpp" line="75"/>
        <source>Guest&apos;s language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="113"/>
        <source>Reply to a guest</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="208"/>
        <source>Reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="209"/>
        <source>not in the documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="213"/>
        <source>not finished — do not send</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="218"/>
        <source>Copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="237"/>
        <source>Where it comes from</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="264"/>
        <source>Optional: the guest&apos;s message (template works without it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="265"/>
        <source>Paste the guest&apos;s message in any language…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="274"/>
        <source>Writing…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../ask_panel.cpp" line="274"/>
        <source>Write reply</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocList</name>
    <message>
        <location filename="../docs_panel.cpp" line="88"/>
        <source>Remove document</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="89"/>
        <source>Remove “%1”? It is deleted from the documents folder, and replies no longer use it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="91"/>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="92"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::DocsPanel</name>
    <message>
        <location filename="../docs_panel.cpp" line="52"/>
        <source>Partly read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="52"/>
        <source>Not read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="78"/>
        <source>Remove…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="142"/>
        <source>Documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="150"/>
        <source>Drop files here: rules, prices, contracts (txt, md, pdf, docx).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="166"/>
        <source>Add documents…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="167"/>
        <source>Add hotel templates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="168"/>
        <source>Load sample hotel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="169"/>
        <source>Open folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../docs_panel.cpp" line="171"/>
        <source>Unanswered questions</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../docs_panel.cpp" line="213"/>
        <source>%n passage(s)</source>
        <translation>
            <numerusform>%n passage</numerusform>
            <numerusform>%n passages</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quorvel::app::EngineStatus</name>
    <message>
        <location filename="../app_states.cpp" line="46"/>
        <source>Model stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="46"/>
        <source>Not installed — open to install</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="47"/>
        <source>Starting the local model…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="48"/>
        <source>Writing a reply…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="48"/>
        <source>Ready · works offline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="49"/>
        <source>Error: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="61"/>
        <source>engine not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="62"/>
        <source>model not downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="63"/>
        <source>search model not downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="64"/>
        <source>model file damaged: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="65"/>
        <source>model server did not start (see logs)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="67"/>
        <source>port %1 is used by another program (quorvel-cli stop ends a model server of ours)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="69"/>
        <source>the model server stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="99"/>
        <source>Quorvel&apos;s model server is missing from its installation: reinstall Quorvel (sudo apt install --reinstall quorvel).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="102"/>
        <source>llama-server is not installed: install it (sudo apt install llama.cpp), then press “Try again”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="111"/>
        <source>A model file is damaged: install it again on the setup screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="113"/>
        <source>The model files are missing: install them on the setup screen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="115"/>
        <source>Press “Start again”, or write the reply: the model starts first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../app_states.cpp" line="117"/>
        <source>Press “Try again”. If it fails again, restart the computer: it frees the memory.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::GapsPanel</name>
    <message>
        <location filename="../gaps_panel.cpp" line="52"/>
        <source>Guests asked, not in your documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="54"/>
        <source>Look again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="58"/>
        <source>Back to the reply</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="79"/>
        <source>The guests&apos; words</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="86"/>
        <source>Open documents folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="91"/>
        <source>Ask it again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="94"/>
        <source>Puts the question in the reply panel: after you added the answer to a document, the reply shows whether the documents answer it now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="103"/>
        <source>Add the answer…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="105"/>
        <source>Writes the answer into the documents once: every later guest who asks gets it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="136"/>
        <source>Reading the conversation history…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="138"/>
        <source>The list could not be made: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="140"/>
        <source>No guest messages in the last %n day(s).</source>
        <translation>
            <numerusform>No guest messages in the last day.</numerusform>
            <numerusform>No guest messages in the last %n days.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="142"/>
        <source>Every guest message of the last %n day(s) was answered from your documents.</source>
        <translation>
            <numerusform>Every guest message of the last day was answered from your documents.</numerusform>
            <numerusform>Every guest message of the last %n days was answered from your documents.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../gaps_panel.cpp" line="144"/>
        <source>The last %n day(s): %1 questions the documents did not answer. Write the answers into a document of the folder.</source>
        <translation>
            <numerusform>The last day: %1 questions the documents did not answer. Write the answers into a document of the folder.</numerusform>
            <numerusform>The last %n days: %1 questions the documents did not answer. Write the answers into a document of the folder.</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="149"/>
        <source>(Grouped by exact text: the search model is not running.)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="158"/>
        <source>documents changed since</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../gaps_panel.cpp" line="159"/>
        <source>answered %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::PrivacyBadge</name>
    <message>
        <location filename="../shared_views.cpp" line="104"/>
        <source>Network: this computer only (127.0.0.1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="119"/>
        <source>Start model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="120"/>
        <source>Start again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="121"/>
        <source>Try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../shared_views.cpp" line="133"/>
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
        <location filename="../setup_view.cpp" line="51"/>
        <source>Install in one step</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quorvel::app::Tray</name>
    <message>
        <location filename="../tray.cpp" line="104"/>
        <source>Model: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="106"/>
        <source>Last reply: %1 tokens/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="107"/>
        <source>Documents: %1 · passages: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="109"/>
        <source>Network: this computer only — nothing is sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="111"/>
        <source>Open Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="112"/>
        <source>Reply to the question in the clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="114"/>
        <source>Add documents…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="115"/>
        <source>Add hotel templates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="116"/>
        <source>Open documents folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="117"/>
        <source>Re-read documents</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="118"/>
        <source>Guests asked, not in your documents…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="121"/>
        <source>Stop model (free memory)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="121"/>
        <source>Start model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="123"/>
        <source>Clear conversation history (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../tray.cpp" line="125"/>
        <source>Quit Quorvel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
