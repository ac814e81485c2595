<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>KzVellumClass</name>
    <message>
        <source>KzVellum</source>
        <translation>Tidemark</translation>
    </message>
    <message>
        <source>Tidemark S1</source>
        <translation>Tidemark S1</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>选择机型</source>
        <translation>Select Type</translation>
    </message>
    <message>
        <source>选择材料</source>
        <translation>Select Material</translation>
    </message>
</context>
<context>
    <name>KzVellum</name>
    <message>
        <source>选择机型</source>
        <translation>Select Type</translation>
    </message>
    <message>
        <source>选择材料</source>
        <translation>Select Material</translation>
    </message>
</context>
<context>
    <name>LayerControlWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>45</source>
        <translation>45</translation>
    </message>
    <message>
        <source>00</source>
        <translation>00</translation>
    </message>
    <message>
        <source>单层</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>多层</source>
        <translation>Multi</translation>
    </message>
</context>
</TS>
