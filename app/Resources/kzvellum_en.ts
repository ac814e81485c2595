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
    <name>KzSliceFileCheck</name>
    <message>
        <source>切片参数文件</source>
        <translation>Slicing presets</translation>
    </message>
    <message>
        <source>无法读取切片参数文件，切片将不会使用所选的设置。
请重新安装程序，或把该文件放回程序的 Configure 文件夹。

%1</source>
        <translation>Cannot read the slicing presets file, so slicing would not use the settings you choose.
Reinstall the program, or put the file back into the program&apos;s Configure folder.

%1</translation>
    </message>
</context>
<context>
    <name>KzMachineSelectWidget</name>
    <message>
        <source>Alder</source>
        <translation>Alder</translation>
    </message>
    <message>
        <source>Hazel</source>
        <translation>Hazel</translation>
    </message>
    <message>
        <source>Cedar</source>
        <translation>Cedar</translation>
    </message>
    <message>
        <source>Birch</source>
        <translation>Birch</translation>
    </message>
    <message>
        <source>Rowan</source>
        <translation>Rowan</translation>
    </message>
    <message>
        <source>Spruce</source>
        <translation>Spruce</translation>
    </message>
</context>
<context>
    <name>ReChooseWidget</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>请确认此次打印选择的材料与机型是否匹配</source>
        <translation>Be sure you have chose appropriate printer and material</translation>
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
