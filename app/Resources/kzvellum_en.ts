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
    <name>Frame</name>
    <message>
        <source>Frame</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>平移</source>
        <translation>Move</translation>
    </message>
    <message>
        <source>旋转</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>底面</source>
        <translation>Floor</translation>
    </message>
</context>
<context>
    <name>ModelEdit</name>
    <message>
        <source>Frame</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>模型参数</source>
        <translation>Model Editor</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>旋转</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>锁定比例</source>
        <translation>Uniform scale</translation>
    </message>
    <message>
        <source>尺寸</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>X</source>
        <translation>X</translation>
    </message>
    <message>
        <source>Y</source>
        <translation>Y</translation>
    </message>
    <message>
        <source>Z</source>
        <translation>Z</translation>
    </message>
    <message>
        <source>重置</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Max</translation>
    </message>
</context>
</TS>
