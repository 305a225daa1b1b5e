<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>quorvel::app::DocsPanel</name>
    <message numerus="yes">
        <source>%n passage(s)</source>
        <translation>
            <numerusform>%n passage</numerusform>
            <numerusform>%n passages</numerusform>
        </translation>
    </message>
</context>
</TS>
