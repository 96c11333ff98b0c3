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
        <translation>提示</translation>
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
    <message>
        <source>The pack did not answer the start of the download. Check the cable and the baud rate, then press Start DownLoad again.</source>
        <translation>电池包未响应升级开始命令。请检查连接线和波特率，然后重新点击开始下载。</translation>
    </message>
    <message>
        <source>No answer from the pack for package %1 in %2 s. Check the cable, then press Start DownLoad to begin again.</source>
        <translation>数据包%1已%2秒未收到电池包应答。请检查连接线，然后点击开始下载重新开始。</translation>
    </message>
    <message>
        <source>The pack did not confirm the end of the download. Press Get Version to see which firmware it runs.</source>
        <translation>电池包未确认升级结束。请点击获取版本号，查看电池包当前运行的固件。</translation>
    </message>
    <message>
        <source>The pack did not report its version. Check the cable and the baud rate, then press Get Version again.</source>
        <translation>电池包未返回版本号。请检查连接线和波特率，然后再次点击获取版本号。</translation>
    </message>
    <message>
        <source>The download record could not be written: %1</source>
        <translation>无法写入下载记录：%1</translation>
    </message>
    <message>
        <source>The serial port was lost during the download. Reconnect, open the port and press Start DownLoad again.</source>
        <translation>下载过程中串口断开。请重新连接并打开串口，然后点击开始下载。</translation>
    </message>
    <message>
        <source>The pack refused package %1 (return code %2). Check the firmware file, then press Start DownLoad again.</source>
        <translation>电池包拒收了第 %1 包（返回码 %2）。请检查固件文件，然后点击开始下载重试。</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开%1：%2</translation>
    </message>
    <message>
        <source>Your user must be in the group that owns %1 (%2); add it and log in again.</source>
        <translation>当前用户须属于拥有%1的用户组（%2）；请将用户加入该组后重新登录。</translation>
    </message>
    <message>
        <source>The help document %1 cannot be opened.</source>
        <translation>无法打开帮助文档%1。</translation>
    </message>
    <message>
        <source>A download is running. Load a file when it has finished.</source>
        <translation>正在下载，请在下载结束后再加载文件。</translation>
    </message>
    <message>
        <source>A download is running. Get the version when it has finished.</source>
        <translation>正在下载，请在下载结束后再获取版本号。</translation>
    </message>
    <message>
        <source>Please load a firmware file first!</source>
        <translation>请先加载固件文件！</translation>
    </message>
    <message>
        <source>The pack has not reported its version. Download %1 anyway?</source>
        <translation>电池包未上报版本号。仍要下载 %1 吗？</translation>
    </message>
    <message>
        <source>A download is running. Close the window anyway?</source>
        <translation>正在下载，仍要关闭窗口吗？</translation>
    </message>
    <message>
        <source>The port is in use by %1. Close that program, then press Open Serial again.</source>
        <translation>串口正被%1占用。请关闭该程序，然后再次点击打开串口。</translation>
    </message>
    <message>
        <source>The port is in use by another program. Close it, then press Open Serial again.</source>
        <translation>串口正被其他程序占用。请关闭该程序，然后再次点击打开串口。</translation>
    </message>
    <message>
        <source>The file&apos;s path must contain %1.</source>
        <translation>文件路径中必须包含 %1。</translation>
    </message>
    <message>
        <source>No program to open PDF files was found. The guide is %1.</source>
        <translation>未找到可打开PDF文件的程序。使用说明位于%1。</translation>
    </message>
    <message>
        <source>A download is running. Stop it and start again from the first package?</source>
        <translation>正在下载。要停止并从第一个数据包重新开始吗？</translation>
    </message>
    <message>
        <source>A download is running. Close the port and stop it?</source>
        <translation>正在下载。要关闭串口并停止下载吗？</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <comment>a failed open's reason, then the advice</comment>
        <translation>%1。%2</translation>
    </message>
    <message>
        <source>The serial port was lost while the pack was asked for its version. Reconnect, then press Open Serial again.</source>
        <translation>获取版本号时串口断开。请重新连接，然后再次点击打开串口。</translation>
    </message>
    <message>
        <source>The port does not exist</source>
        <translation>串口不存在</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>没有访问权限</translation>
    </message>
    <message>
        <source>The port is busy or in use</source>
        <translation>串口忙或已被占用</translation>
    </message>
    <message>
        <source>The device is gone</source>
        <translation>设备已断开</translation>
    </message>
    <message>
        <source>The system reports: %1</source>
        <translation>系统报告错误：%1</translation>
    </message>
</context>
</TS>
