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
    </context>
    <context>
        <name>CustomPrint</name>
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
    <context>
        <name>KzTipWidget</name>
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
    </context>
    <context>
        <name>TipWidget</name>
        <message>
            <source>Frame</source>
            <translation>Frame</translation>
        </message>
    </context>
</TS>
