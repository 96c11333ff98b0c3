<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>language</source>
        <translation>语言&amp;&amp;通讯</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>通讯状态：</translation>
    </message>
    <message>
        <source>language:</source>
        <translation>语言:</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Serial port parameter configuration</source>
        <translation>串口设置</translation>
    </message>
    <message>
        <source>Port：</source>
        <translation>端口:</translation>
    </message>
    <message>
        <source>Baud Rate：</source>
        <translation>波特率:</translation>
    </message>
    <message>
        <source>Open Serial</source>
        <translation>打开串口</translation>
    </message>
    <message>
        <source>Update Serial</source>
        <translation>刷新串口</translation>
    </message>
    <message>
        <source>Current software version</source>
        <translation>当前版本号</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本号</translation>
    </message>
    <message>
        <source>Get Version</source>
        <translation>获取版本号</translation>
    </message>
    <message>
        <source>update</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>File Path</source>
        <translation>文件路径</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>加载文件</translation>
    </message>
    <message>
        <source>Start DownLoad</source>
        <translation>开始下载</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英文</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Close Serial</source>
        <translation>关闭串口</translation>
    </message>
    <message>
        <source>Please open the serial port first!</source>
        <translation>请先打开串口通信</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Please click to obtain the version number first</source>
        <translation>请先点击获取版本号按钮</translation>
    </message>
    <message>
        <source>The version number of the upgraded file does not match the actual version number</source>
        <translation>版本不一致不能更新</translation>
    </message>
    <message>
        <source>File (*.bin *.sorrel);; </source>
        <translation>文件 (*.bin *.sorrel);; </translation>
    </message>
    <message>
        <source>Firmware selection</source>
        <translation>选择更新文件</translation>
    </message>
    <message>
        <source>File is too short, upgrade failed</source>
        <translation>文件太短更新失败</translation>
    </message>
    <message>
        <source>File open failed, upgrade failed</source>
        <translation>打开文件失败，更新失败</translation>
    </message>
    <message>
        <source>File is too large, upgrade failed</source>
        <translation>文件太大，更新失败</translation>
    </message>
    <message>
        <source>&#x9;Starting! Size : %1</source>
        <translation>开始更新! 大小 : %1</translation>
    </message>
    <message>
        <source>:  Update completed</source>
        <translation>更新完成</translation>
    </message>
</context>
</TS>
