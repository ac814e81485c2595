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
            <source>读取STL文件失败</source>
            <translation>Load STL file failed</translation>
        </message>
        <message>
            <source>无法读取模型文件：%1</source>
            <translation>Cannot read the model file: %1</translation>
        </message>
        <message>
            <source>打开模型</source>
            <translation>Open Model</translation>
        </message>
        <message>
            <source>保存STL</source>
            <translation>Save STL</translation>
        </message>
        <message>
            <source>STL保存成功</source>
            <translation>STL saved successfully</translation>
        </message>
        <message>
            <source>保存模型</source>
            <translation>Save Models</translation>
        </message>
        <message>
            <source>保存3MF</source>
            <translation>Save 3MF</translation>
        </message>
        <message>
            <source>3MF保存成功</source>
            <translation>3MF saved successfully</translation>
        </message>
        <message>
            <source>选择机型</source>
            <translation>Select Type</translation>
        </message>
        <message>
            <source>选择材料</source>
            <translation>Select Material</translation>
        </message>
        <message>
            <source>重置
视角</source>
            <translation>Reset
Camera</translation>
        </message>
        <message>
            <source>保存
SD卡</source>
            <translation>Save
SD</translation>
        </message>
        <message>
            <source>退出
切片</source>
            <translation>Quit
Slice</translation>
        </message>
        <message>
            <source>KzVellum帮助</source>
            <translation>KzVellum help</translation>
        </message>
        <message>
            <source>自动
摆放</source>
            <translation>Arrange
All</translation>
        </message>
        <message>
            <source>切片：展开一键打印和自定义打印</source>
            <translation>Slice: shows one-key and custom printing</translation>
        </message>
        <message>
            <source>打开模型文件</source>
            <translation>Open a model file</translation>
        </message>
        <message>
            <source>把平台上的所有模型保存为一个STL文件</source>
            <translation>Save all models on the plate as one STL file</translation>
        </message>
        <message>
            <source>删除选中的模型</source>
            <translation>Remove the selected model</translation>
        </message>
        <message>
            <source>更换打印机和材料</source>
            <translation>Change the printer and material</translation>
        </message>
        <message>
            <source>自定义切片设置</source>
            <translation>Custom slice settings</translation>
        </message>
        <message>
            <source>一键切片</source>
            <translation>One-key slicing</translation>
        </message>
        <message>
            <source>回到初始视角</source>
            <translation>Back to the starting view</translation>
        </message>
        <message>
            <source>重新摆放平台上的所有模型</source>
            <translation>Arrange all models on the plate</translation>
        </message>
        <message>
            <source>退出切片预览</source>
            <translation>Leave the slice preview</translation>
        </message>
        <message>
            <source>把GCode保存到SD卡</source>
            <translation>Save the G-code to the SD card</translation>
        </message>
        <message>
            <source>复制选中的模型</source>
            <translation>Duplicate the selected model</translation>
        </message>
        <message>
            <source>打开用户指南</source>
            <translation>Open the user guide</translation>
        </message>
        <message>
            <source>%1（%2）</source>
            <translation>%1 (%2)</translation>
        </message>
        <message>
            <source>切片预览</source>
            <translation>Slice preview</translation>
        </message>
        <message>
            <source>退出切片预览后才能修改平台</source>
            <translation>Leave the slice preview to change the plate</translation>
        </message>
        <message>
            <source>撤销</source>
            <translation>Undo</translation>
        </message>
        <message>
            <source>已撤销上一步更改</source>
            <translation>The last change was undone</translation>
        </message>
        <message>
            <source>没有可撤销的更改</source>
            <translation>Nothing to undo</translation>
        </message>
        <message>
            <source>重做</source>
            <translation>Redo</translation>
        </message>
        <message>
            <source>已重做一步更改</source>
            <translation>One change was redone</translation>
        </message>
        <message>
            <source>没有可重做的更改</source>
            <translation>Nothing to redo</translation>
        </message>
        <message>
            <source>复制</source>
            <translation>Copy</translation>
        </message>
        <message>
            <source>已复制选中的模型</source>
            <translation>The selected model was copied</translation>
        </message>
        <message>
            <source>复制失败，请先选择模型</source>
            <translation>Nothing copied. Please choose a model first</translation>
        </message>
        <message>
            <source>自动摆放</source>
            <translation>Arrange</translation>
        </message>
        <message>
            <source>已重新摆放平台上的所有模型</source>
            <translation>All models on the plate were arranged</translation>
        </message>
        <message>
            <source>平台上没有模型</source>
            <translation>There is no model on the plate</translation>
        </message>
        <message>
            <source>保存GCode</source>
            <translation>Save G-code</translation>
        </message>
        <message>
            <source>请先切片，再保存GCode</source>
            <translation>Slice first, then save the G-code</translation>
        </message>
        <message>
            <source>弹出SD卡</source>
            <translation>Eject card</translation>
        </message>
        <message>
            <source>正在弹出SD卡，请稍候</source>
            <translation>The card is being ejected, please wait</translation>
        </message>
        <message>
            <source>保存SD卡</source>
            <translation>Save SD card</translation>
        </message>
        <message>
            <source>SD卡读回的数据与写入的不同，这张卡可能已损坏。卡上原有的文件未改动，请换一张卡再保存。</source>
            <translation>The card returned other data than was written to it: it may be failing. The file it had is unchanged; save to another card.</translation>
        </message>
        <message>
            <source>保存GCode成功，已从SD卡读回核对，与切片结果一致。</source>
            <translation>Save to SD card succeed. Read back from the card: it holds exactly the sliced G-code.</translation>
        </message>
        <message>
            <source>保存GCode成功。这张卡的文件系统不能绕过系统缓存读回，核对的只是缓存中的数据。</source>
            <translation>Save to SD card succeed. This card's file system cannot be read past the system's cache, so only the cached copy was checked.</translation>
        </message>
        <message>
            <source>%1
正在弹出SD卡…</source>
            <translation>%1
Ejecting the card…</translation>
        </message>
        <message>
            <source>正在弹出SD卡…</source>
            <translation>Ejecting the card…</translation>
        </message>
        <message>
            <source>可以取出SD卡了。</source>
            <translation>The SD card can be removed now.</translation>
        </message>
        <message>
            <source>SD卡正被其他程序使用，未能弹出。请关闭使用它的程序后再点“弹出SD卡”。文件已保存。</source>
            <translation>The card is in use by another program and was not ejected. Close that program, then click “Eject card” again. The file is saved.</translation>
        </message>
        <message>
            <source>系统的权限策略不允许弹出这张SD卡。文件已保存并写入卡中，请用桌面自带的弹出功能取出。</source>
            <translation>The system's policy does not allow ejecting this card. The file is saved and synced to the card: remove it with the desktop's own eject.</translation>
        </message>
        <message>
            <source>系统的权限策略不允许自动弹出这张SD卡。文件已保存并写入卡中：点“弹出SD卡”可按系统要求验证身份，或用桌面自带的弹出功能取出。</source>
            <translation>The system's policy does not allow ejecting this card unasked. The file is saved and synced to the card: click “Eject card” to authenticate as the system asks, or remove it with the desktop's own eject.</translation>
        </message>
        <message>
            <source>系统的磁盘服务(udisks2)未运行，无法在本程序中弹出。文件已保存并写入卡中，请用桌面自带的弹出功能取出SD卡。</source>
            <translation>The system's disk service (udisks2) is not running, so the card cannot be ejected from here. The file is saved and synced to the card: remove it with the desktop's own eject.</translation>
        </message>
        <message>
            <source>找不到保存时的那张SD卡，它可能已被取出。</source>
            <translation>The card saved to is no longer there: it may have been removed already.</translation>
        </message>
        <message>
            <source>未能弹出SD卡：%1。文件已保存。</source>
            <translation>Could not eject the card: %1. The file is saved.</translation>
        </message>
        <message>
            <source>模型文件 (%1)</source>
            <translation>Model files (%1)</translation>
        </message>
        <message>
            <source>所有文件 (*)</source>
            <translation>All files (*)</translation>
        </message>
        <message>
            <source>打开</source>
            <translation>Open</translation>
        </message>
        <message>
            <source>正在打开模型：%1 / %2</source>
            <translation>Opening models: %1 / %2</translation>
        </message>
        <message>
            <source>已打开%1个模型</source>
            <translation>Models opened: %1</translation>
        </message>
        <message>
            <source>已打开%1个模型，%2个未打开：</source>
            <translation>Models opened: %1. Not opened: %2</translation>
        </message>
        <message>
            <source>……另有%1个文件未打开</source>
            <translation>…and %1 more not opened</translation>
        </message>
        <message>
            <source>已按Esc停止，其余%1个文件未打开</source>
            <translation>Stopped by Esc: %1 files left unopened</translation>
        </message>
        <message>
            <source>%1：不是STL、OBJ或3MF文件</source>
            <translation>%1: not an STL, OBJ or 3MF file</translation>
        </message>
        <message>
            <source>%1：文件不存在</source>
            <translation>%1: no such file</translation>
        </message>
        <message>
            <source>按Esc停止</source>
            <translation>Press Esc to stop</translation>
        </message>
    </context>
    <context>
        <name>CustomPrint</name>
        <message>
            <source>保存GCode</source>
            <translation>Save GCode</translation>
        </message>
        <message>
            <source>Frame</source>
            <translation>Frame</translation>
        </message>
        <message>
            <source>自定义打印设置</source>
            <translation>Custom slice</translation>
        </message>
        <message>
            <source>一键打印设置</source>
            <translation>One-key slice</translation>
        </message>
        <message>
            <source>质量</source>
            <translation>Quality</translation>
        </message>
        <message>
            <source>层厚(mm)</source>
            <translation>Layer thickness</translation>
        </message>
        <message>
            <source>壁厚(mm)</source>
            <translation>Shell thickness</translation>
        </message>
        <message>
            <source>首层层高(mm)</source>
            <translation>Initial layer thickness</translation>
        </message>
        <message>
            <source>速度</source>
            <translation>Speed</translation>
        </message>
        <message>
            <source>打印速度(mm/s)</source>
            <translation>Print speed</translation>
        </message>
        <message>
            <source>空打速度(mm/s)</source>
            <translation>travel speed</translation>
        </message>
        <message>
            <source>底层速度(mm/s)</source>
            <translation>bottom speed</translation>
        </message>
        <message>
            <source>填充速度(mm/s)</source>
            <translation>infill speed</translation>
        </message>
        <message>
            <source>顶层/底层速度(mm/s)</source>
            <translation>Top/Bottom speed</translation>
        </message>
        <message>
            <source>外壳速度(mm/s)</source>
            <translation>Outer shell speed</translation>
        </message>
        <message>
            <source>内壁速度(mm/s)</source>
            <translation>Inner shell speed</translation>
        </message>
        <message>
            <source>填充</source>
            <translation>Infill</translation>
        </message>
        <message>
            <source>封顶层数</source>
            <translation>Top thickness</translation>
        </message>
        <message>
            <source>封底层数</source>
            <translation>Bottom thickness</translation>
        </message>
        <message>
            <source>填充密度(%)</source>
            <translation>Fill density</translation>
        </message>
        <message>
            <source>支撑</source>
            <translation>Support</translation>
        </message>
        <message>
            <source>支撑类型</source>
            <translation>Support type</translation>
        </message>
        <message>
            <source>全支撑</source>
            <translation>Everywhere</translation>
        </message>
        <message>
            <source>外部支撑</source>
            <translation>Touching</translation>
        </message>
        <message>
            <source>无</source>
            <translation>None</translation>
        </message>
        <message>
            <source>粘附类型</source>
            <translation>Adhersion</translation>
        </message>
        <message>
            <source>Brim</source>
            <translation>Brim</translation>
        </message>
        <message>
            <source>Raft</source>
            <translation>Raft</translation>
        </message>
        <message>
            <source>Skirt</source>
            <translation>Skirt</translation>
        </message>
        <message>
            <source>支撑角度(°)</source>
            <translation>Support angle</translation>
        </message>
        <message>
            <source>支撑密度</source>
            <translation>Support amount</translation>
        </message>
        <message>
            <source>X/Y轴距离(mm)</source>
            <translation>Dsitance X/Y</translation>
        </message>
        <message>
            <source>Z轴距离(mm)</source>
            <translation>Distance Z</translation>
        </message>
        <message>
            <source>温度</source>
            <translation>Temperature</translation>
        </message>
        <message>
            <source>喷头温度(℃)</source>
            <translation>Nozzle tempereature</translation>
        </message>
        <message>
            <source>热床温度(℃)</source>
            <translation>Hotbed temperature</translation>
        </message>
        <message>
            <source>边缘走线圈数</source>
            <translation>Brim line amount</translation>
        </message>
        <message>
            <source>回退</source>
            <translation>Retraction</translation>
        </message>
        <message>
            <source>回退速度(mm/s)</source>
            <translation>Retract Speed</translation>
        </message>
        <message>
            <source>回退长度(mm)</source>
            <translation>Retract Distance</translation>
        </message>
        <message>
            <source>最小回退距离(mm)</source>
            <translation>Min Travel</translation>
        </message>
        <message>
            <source>回退前最小挤出量(mm)</source>
            <translation>Min Extrusion</translation>
        </message>
        <message>
            <source>回退时Z轴抬起高度(mm)</source>
            <translation>Z Hop</translation>
        </message>
        <message>
            <source>额外边缘(mm)</source>
            <translation>Extra margin</translation>
        </message>
        <message>
            <source>走线间隔(mm)</source>
            <translation>Line spacing</translation>
        </message>
        <message>
            <source>基底层厚度(mm)</source>
            <translation>Base thickness</translation>
        </message>
        <message>
            <source>基底层走线宽度(mm)</source>
            <translation>Base line width</translation>
        </message>
        <message>
            <source>接触层厚度(mm)</source>
            <translation>Interface thickness</translation>
        </message>
        <message>
            <source>接触层走线宽度(mm)</source>
            <translation>Interface line wdith</translation>
        </message>
        <message>
            <source>悬空间隙</source>
            <translation>Ai gap</translation>
        </message>
        <message>
            <source>第一层悬空间隙(mm)</source>
            <translation>First layer airgap</translation>
        </message>
        <message>
            <source>表层层数</source>
            <translation>Surface layers</translation>
        </message>
        <message>
            <source>表层层厚(mm)</source>
            <translation>Surface layer thickness</translation>
        </message>
        <message>
            <source>表层走线宽度(mm)</source>
            <translation>Surface layer line width</translation>
        </message>
        <message>
            <source>重置</source>
            <translation>Reset</translation>
        </message>
        <message>
            <source>高速</source>
            <translation>Fast</translation>
        </message>
        <message>
            <source>标准</source>
            <translation>Standard</translation>
        </message>
        <message>
            <source>最优</source>
            <translation>Optimised</translation>
        </message>
        <message>
            <source>停止切片</source>
            <translation>Stop slicing</translation>
        </message>
        <message>
            <source>开始切片</source>
            <translation>Start slicing</translation>
        </message>
        <message>
            <source>保存数据</source>
            <translation>Save data</translation>
        </message>
        <message>
            <source>保存SD卡</source>
            <translation>Save SD card</translation>
        </message>
        <message>
            <source>分析模型中...</source>
            <translation>Analying Model...</translation>
        </message>
        <message>
            <source>切片失败</source>
            <translation>Slice failed</translation>
        </message>
        <message>
            <source>已停止</source>
            <translation>Stopped</translation>
        </message>
        <message>
            <source>tip</source>
            <translation>Tip</translation>
        </message>
        <message>
            <source>保存成功</source>
            <translation>Save succeed</translation>
        </message>
        <message>
            <source>保存失败</source>
            <translation>Save failed</translation>
        </message>
        <message>
            <source>保存后弹出</source>
            <translation>Eject after saving</translation>
        </message>
        <message>
            <source>保存到SD卡并核对后，立即弹出SD卡</source>
            <translation>Eject the card as soon as a save to it is written and checked</translation>
        </message>
        <message>
            <source>弹出SD卡</source>
            <translation>Eject card</translation>
        </message>
        <message>
            <source>保存失败：读回的数据与写入的不同，磁盘可能有故障。原文件未改动。</source>
            <translation>Save failed: the file read back differs from what was written, so the disk may be failing. The old file is unchanged.</translation>
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
        <message>
            <source>复制</source>
            <translation>Copy</translation>
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
Reinstall the program, or put the file back into the program's Configure folder.

%1</translation>
        </message>
    </context>
    <context>
        <name>KzMachineFileCheck</name>
        <message>
            <source>打印机配置文件</source>
            <translation>Printer settings file</translation>
        </message>
        <message>
            <source>另有 %1 处问题，详见程序日志。</source>
            <translation>%1 more problems, see the program's log.</translation>
        </message>
        <message>
            <source>打印机配置文件有误。无法读取的机型和材料已改用程序内置的设置。

%1</source>
            <translation>The printer settings file has errors. The printers and materials that could not be read use the program's built-in settings instead.

%1</translation>
        </message>
    </context>
    <context>
        <name>KzSliceWork</name>
        <message>
            <source>切片引擎意外停止（信号 %1）</source>
            <translation>The slicing engine stopped unexpectedly (signal %1)</translation>
        </message>
        <message>
            <source>切片引擎退出，代码 %1</source>
            <translation>The slicing engine exited with code %1</translation>
        </message>
        <message>
            <source>切片引擎没有写出G-code</source>
            <translation>The slicing engine wrote no G-code</translation>
        </message>
        <message>
            <source>切片引擎写出的G-code中没有任何层</source>
            <translation>The G-code from the slicing engine holds no layers</translation>
        </message>
        <message>
            <source>无法读取切片引擎写出的G-code：%1</source>
            <translation>Cannot read the G-code from the slicing engine: %1</translation>
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
        <message>
            <source>%1 × %2 × %3 mm</source>
            <translation>%1 × %2 × %3 mm</translation>
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
    <context>
        <name>KLayerLegendWidget</name>
        <message>
            <source>图例（点击隐藏）</source>
            <translation>Legend (click to hide)</translation>
        </message>
        <message>
            <source>外壁</source>
            <translation>Outer wall</translation>
        </message>
        <message>
            <source>内壁</source>
            <translation>Inner wall</translation>
        </message>
        <message>
            <source>顶底面</source>
            <translation>Skin</translation>
        </message>
        <message>
            <source>裙边/边沿</source>
            <translation>Skirt/brim</translation>
        </message>
        <message>
            <source>填充</source>
            <translation>Infill</translation>
        </message>
        <message>
            <source>其他</source>
            <translation>Other</translation>
        </message>
        <message>
            <source>支撑</source>
            <translation>Support</translation>
        </message>
        <message>
            <source>空驶</source>
            <translation>Travel</translation>
        </message>
    </context>
    <context>
        <name>KLayerControlWidget</name>
        <message>
            <source>第 %1 层</source>
            <translation>Layer %1</translation>
        </message>
        <message>
            <source>到达此层：%1</source>
            <translation>Reached after %1</translation>
        </message>
        <message>
            <source>此层用时：%1</source>
            <translation>This layer takes %1</translation>
        </message>
        <message>
            <source>打印完此层：%1</source>
            <translation>Done with it after %1</translation>
        </message>
        <message>
            <source>此G-code没有逐层的时间</source>
            <translation>This G-code gives no layer times</translation>
        </message>
    </context>
    <context>
        <name>KzPrintFigures</name>
        <message>
            <source>%1 秒</source>
            <translation>%1 s</translation>
        </message>
        <message>
            <source>%1 分钟</source>
            <translation>%1 min</translation>
        </message>
        <message>
            <source>%1 小时 %2 分钟</source>
            <translation>%1 h %2 min</translation>
        </message>
        <message>
            <source>%1 米</source>
            <translation>%1 m</translation>
        </message>
        <message>
            <source>%1 克</source>
            <translation>%1 g</translation>
        </message>
    </context>
    <context>
        <name>KzTipWidget</name>
        <message>
            <source>机型或材料已更改，请重新切片</source>
            <translation>Printer or material changed. Please slice again</translation>
        </message>
        <message>
            <source>保存完成</source>
            <translation>Save completed</translation>
        </message>
        <message>
            <source>打开</source>
            <translation>Open</translation>
        </message>
        <message>
            <source>读取STL文件</source>
            <translation>Load STL model file</translation>
        </message>
        <message>
            <source>读取STL文件完成</source>
            <translation>Load STL file successfully</translation>
        </message>
        <message>
            <source>读取STL文件失败</source>
            <translation>Load STL file failed</translation>
        </message>
        <message>
            <source>读取STL文件完成：%1</source>
            <translation>Load STL file successfully: %1</translation>
        </message>
        <message>
            <source>无法读取模型文件：%1</source>
            <translation>Cannot read the model file: %1</translation>
        </message>
        <message>
            <source>无法读取模型文件%1：其中没有可用的三角面</source>
            <translation>Cannot read the model file %1: it holds no usable facets</translation>
        </message>
        <message>
            <source>未打开%1：模型长达%2米，超出任何打印机的范围</source>
            <translation>%1 was not opened: the model is %2 m long, larger than any printer can hold</translation>
        </message>
        <message>
            <source>未打开%1：无法读取此3MF文件</source>
            <translation>%1 was not opened: the 3MF package cannot be read</translation>
        </message>
        <message>
            <source>未打开%1：不是3MF文件（不是zip压缩包）</source>
            <translation>%1 was not opened: it is not a 3MF package (not a zip archive)</translation>
        </message>
        <message>
            <source>未打开%1：3MF压缩包已损坏</source>
            <translation>%1 was not opened: the 3MF package is damaged</translation>
        </message>
        <message>
            <source>未打开%1：3MF文件中没有三维模型</source>
            <translation>%1 was not opened: the package holds no 3D model part</translation>
        </message>
        <message>
            <source>未打开%1：3MF文件中的模型数据格式错误</source>
            <translation>%1 was not opened: its model part is not valid 3MF XML</translation>
        </message>
        <message>
            <source>未打开%1：有三角面的顶点索引无效</source>
            <translation>%1 was not opened: a triangle has invalid vertex indices</translation>
        </message>
        <message>
            <source>未打开%1：构建项引用了不存在的对象</source>
            <translation>%1 was not opened: a build item refers to an object that does not exist</translation>
        </message>
        <message>
            <source>未打开%1：其中有无效的坐标或变换</source>
            <translation>%1 was not opened: it holds invalid coordinates or transforms</translation>
        </message>
        <message>
            <source>未打开%1：网格数据超过2 GB</source>
            <translation>%1 was not opened: it holds more than 2 GB of mesh data</translation>
        </message>
        <message>
            <source>未打开%1：其中没有要打印的对象</source>
            <translation>%1 was not opened: its build holds nothing to print</translation>
        </message>
        <message>
            <source>文件不完整：%2个三角面中只读到%1个</source>
            <translation>The file ends early: %1 of %2 facets read</translation>
        </message>
        <message>
            <source>跳过了%1个坐标无效的三角面</source>
            <translation>%1 facets with invalid coordinates were left out</translation>
        </message>
        <message>
            <source>保存</source>
            <translation>Save</translation>
        </message>
        <message>
            <source>保存所有模型到指定STL文件(二进制格式)</source>
            <translation>Save all models to specified STL file(binary format) </translation>
        </message>
        <message>
            <source>保存失败</source>
            <translation>Fail to save all models</translation>
        </message>
        <message>
            <source>删除</source>
            <translation>Remove</translation>
        </message>
        <message>
            <source>删除选定模型</source>
            <translation>Remove specified model</translation>
        </message>
        <message>
            <source>删除失败，请先选择模型</source>
            <translation>Fail to remove model. Please choose a model first</translation>
        </message>
        <message>
            <source>切片</source>
            <translation>Slice</translation>
        </message>
        <message>
            <source>选择合适的模式进行切片</source>
            <translation>Select appropriate mode to slice</translation>
        </message>
        <message>
            <source>配置机器</source>
            <translation>Configure</translation>
        </message>
        <message>
            <source>重新选择机型和材料</source>
            <translation>Rechoose printer type and material</translation>
        </message>
        <message>
            <source>一键切片设置</source>
            <translation>One-key slice settings</translation>
        </message>
        <message>
            <source>自定义切片设置</source>
            <translation>Custom slice settings</translation>
        </message>
        <message>
            <source>切片完成，可选择保存GCode到文件</source>
            <translation>Slice Successful! Please save GCode file</translation>
        </message>
        <message>
            <source>模型编辑</source>
            <translation>Editor</translation>
        </message>
        <message>
            <source>平移模式，鼠标拖动模型可实现平移</source>
            <translation>Pan mode. Drag model to change its position</translation>
        </message>
        <message>
            <source>旋转模式，鼠标拖动坐标系，让模型绕指定轴旋转</source>
            <translation>Rotate mode. Drag an axis to make the model rotate around the axis</translation>
        </message>
        <message>
            <source>缩放模式，勾选比例缩放让模型形状保持不变，或取消勾选实现单轴缩放</source>
            <translation>Scale Mode. Check the uniform-scale button to keep the model shape unchanged ,or uncheck it to scale along one axis as you like</translation>
        </message>
        <message>
            <source>指定底面，鼠标点击选中模型的面作为底面</source>
            <translation>Floor Mode. Use the mouse to click the selected surface as the bottom surface of the model</translation>
        </message>
        <message>
            <source>保存SD卡</source>
            <translation>Save SD card</translation>
        </message>
        <message>
            <source>保存失败，未检测到SD卡</source>
            <translation>Save failed. No SD card detected</translation>
        </message>
        <message>
            <source>保存文件失败，请检查SD内存是否足够</source>
            <translation>Save failed. Be sure enough SD free space is available</translation>
        </message>
        <message>
            <source>模型超出打印范围，请移动或缩放模型</source>
            <translation>Models exceed the build volume. Move or scale them first</translation>
        </message>
        <message>
            <source>保存GCode成功</source>
            <translation>Save to SD card succeed</translation>
        </message>
        <message>
            <source>保存成功</source>
            <translation>Models saved successfully</translation>
        </message>
        <message>
            <source>开始</source>
            <translation>Start</translation>
        </message>
        <message>
            <source>点击转盘上方的“打开”或按Ctrl+O打开STL、OBJ或3MF模型，也可以把模型文件拖到这里</source>
            <translation>Open an STL, OBJ or 3MF model: click Open at the top of the dial, press Ctrl+O, or drop the files here</translation>
        </message>
    </context>
    <context>
        <name>TipWidget</name>
        <message>
            <source>Frame</source>
            <translation>Frame</translation>
        </message>
    </context>
    <context>
        <name>KzCommandLine</name>
        <message>
            <source>为小型FDM 3D打印机准备打印STL、OBJ和3MF模型。</source>
            <translation>Prepares STL, OBJ and 3MF models for printing on small FDM 3D printers.</translation>
        </message>
        <message>
            <source>显示本帮助并退出。</source>
            <translation>Shows this help and exits.</translation>
        </message>
        <message>
            <source>显示版本并退出。</source>
            <translation>Shows the version and exits.</translation>
        </message>
        <message>
            <source>文件</source>
            <translation>FILE</translation>
        </message>
        <message>
            <source>在打印平台上打开的STL、OBJ或3MF模型文件；相对路径从当前文件夹算起。</source>
            <translation>STL, OBJ or 3MF model files to open on the plate; relative paths start from the current folder.</translation>
        </message>
        <message>
            <source>[文件…]</source>
            <translation>[FILE…]</translation>
        </message>
        <message>
            <source>用 %1 --help 查看用法。</source>
            <translation>Run %1 --help for the usage.</translation>
        </message>
        <message>
            <source>选项 --%1 只能与 --slice 一起使用。</source>
            <translation>The option --%1 is used only with --slice.</translation>
        </message>
        <message>
            <source>--slice 需要用 -o 给出要写入的G-code文件。</source>
            <translation>--slice needs the G-code file to write: -o OUT.gcode.</translation>
        </message>
        <message>
            <source>--slice 需要至少一个模型文件。</source>
            <translation>--slice needs at least one model file.</translation>
        </message>
        <message>
            <source>未知的预设“%1”：可用 fast、standard 或 optimal。</source>
            <translation>Unknown preset &quot;%1&quot;: use fast, standard or optimal.</translation>
        </message>
        <message>
            <source>不开窗口切片：%1 --slice -o 输出.gcode [--machine 名称] [--material 名称] [--preset fast|standard|optimal] 模型…</source>
            <translation>Slicing without a window: %1 --slice -o OUT.gcode [--machine NAME] [--material NAME] [--preset fast|standard|optimal] MODEL…</translation>
        </message>
        <message>
            <source>不开窗口（也不需要显示器）切片给出的模型，模型在打印平台上的摆放与窗口按同样顺序打开时相同；进度写到标准错误。退出状态：0 成功，1 切片失败，2 参数、模型文件或名称不可用。</source>
            <translation>Slices the models given without a window (and without a display), placed on the plate as the window places them when opened in that order; progress goes to standard error. Exit status: 0 sliced, 1 slicing failed, 2 arguments, model files or names that cannot be used.</translation>
        </message>
        <message>
            <source>与 --slice 一起：要写入的G-code文件。</source>
            <translation>With --slice: the G-code file to write.</translation>
        </message>
        <message>
            <source>输出.gcode</source>
            <translation>OUT.gcode</translation>
        </message>
        <message>
            <source>与 --slice 一起：机型，用机型选择或标题中显示的名称，不分大小写。默认为窗口启动时的机型。</source>
            <translation>With --slice: the printer, by the name its chooser or the title shows, in any case. By default the printer the window starts on.</translation>
        </message>
        <message>
            <source>名称</source>
            <translation>NAME</translation>
        </message>
        <message>
            <source>与 --slice 一起：材料（PLA、ABS、WOOD、TPU），须是该机型能打印的。默认为窗口启动时的材料（--machine 给出的机型不能打印该材料时为PLA）。</source>
            <translation>With --slice: the material (PLA, ABS, WOOD, TPU), one the printer prints. By default the material the window starts on (PLA when the printer given by --machine does not print it).</translation>
        </message>
        <message>
            <source>与 --slice 一起：一键切片的预设 fast、standard 或 optimal。默认为 standard。</source>
            <translation>With --slice: the one-key preset: fast, standard or optimal. By default standard.</translation>
        </message>
        <message>
            <source>预设</source>
            <translation>PRESET</translation>
        </message>
    </context>
    <context>
        <name>KzSliceCommand</name>
        <message>
            <source>无法为切片引擎写出模型：%1</source>
            <translation>Cannot write the models for the slicing engine: %1</translation>
        </message>
        <message>
            <source>未知的机型“%1”。可用的机型：%2</source>
            <translation>Unknown printer &quot;%1&quot;. The printers: %2</translation>
        </message>
        <message>
            <source>机型%1不能打印材料“%2”。可用的材料：%3</source>
            <translation>The printer %1 does not print the material &quot;%2&quot;. Its materials: %3</translation>
        </message>
        <message>
            <source>机型 %1，材料 %2，预设 %3</source>
            <translation>Printer %1, material %2, preset %3</translation>
        </message>
        <message>
            <source>输出文件%1是一个文件夹。</source>
            <translation>The output file %1 is a folder.</translation>
        </message>
        <message>
            <source>输出文件的文件夹%1不存在。</source>
            <translation>The output file's folder %1 does not exist.</translation>
        </message>
        <message>
            <source>无法读取模型文件%1：%2</source>
            <translation>Cannot read the model file %1: %2</translation>
        </message>
        <message>
            <source>已打开模型%1</source>
            <translation>Opened the model %1</translation>
        </message>
        <message>
            <source>切片中 %1%</source>
            <translation>Slicing %1%</translation>
        </message>
        <message>
            <source>已写出%1（%2）</source>
            <translation>Wrote %1 (%2)</translation>
        </message>
    </context>
</TS>
