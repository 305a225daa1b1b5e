<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="eo" sourcelanguage="en">
<context>
    <name>quorvel::app::AskPanel</name>
    <message>
        <source>Write reply</source>
        <translation>Skribi respondon</translation>
    </message>
</context>
<context>
    <name>ReplyTemplate</name>
    <message>
        <source>Breakfast</source>
        <translation>Matenmanĝo</translation>
    </message>
</context>
</TS>
