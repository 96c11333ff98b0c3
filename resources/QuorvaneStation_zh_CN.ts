<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Outcome</name>
    <message>
        <location filename="../station/outcometext.cpp" line="+12"/>
        <source>confirmed</source>
        <translation>已确认</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the end was not confirmed</source>
        <translation>结束未被确认</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no answer to the start</source>
        <translation>启动无应答</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no answer to a package</source>
        <translation>数据包无应答</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the port went away</source>
        <translation>端口已断开</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>started again</source>
        <translation>已重新开始</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the pack refused a package</source>
        <translation>电池包拒绝了数据包</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>version read</source>
        <translation>已读取版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the port cannot be opened</source>
        <translation>端口无法打开</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no version reported</source>
        <translation>未报告版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>the image does not fit the pack</source>
        <translation>固件与电池包不符</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no firmware for the version</source>
        <translation>没有该版本的固件</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>verified</source>
        <translation>已验证</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>another version after the update</source>
        <translation>升级后版本不符</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>no version after the update</source>
        <translation>升级后无版本</translation>
    </message>
</context>
<context>
    <name>Station::PortTile</name>
    <message>
        <location filename="../station/porttile.cpp" line="+137"/>
        <source>Firmware file still changing</source>
        <translation>固件文件仍在变化</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Flashing %1/%2</source>
        <translation>正在烧录 %1/%2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Checking the version</source>
        <translation>正在检查版本</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>PASS</source>
        <translation>通过</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>FAIL</source>
        <translation>失败</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 files for %2</source>
        <translation>%2 有 %1 个文件</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No firmware for %1</source>
        <translation>没有 %1 的固件</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Waiting for a pack</source>
        <translation>等待电池包</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Nothing flashed</source>
        <translation>未烧录</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>%1 s left</source>
        <translation>剩余 %1 秒</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Version: %1</source>
        <translation>版本：%1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>File: %1</source>
        <translation>文件：%1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Now running: %1</source>
        <translation>当前运行：%1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Remove the pack</source>
        <translation>请取下电池包</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Pack removed</source>
        <translation>电池包已取下</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Passed %1 · Failed %2</source>
        <translation>通过 %1 · 失败 %2</translation>
    </message>
</context>
<context>
    <name>Station::StationWindow</name>
    <message>
        <location filename="../station/stationview.cpp" line="+57"/>
        <source>Record not written: %1</source>
        <translation>记录未写入：%1</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Passed: %1</source>
        <translation>通过：%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Not flashed: %1</source>
        <translation>未烧录：%1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Packs per hour: -</source>
        <translation>每小时电池包：-</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Packs per hour: %1</source>
        <translation>每小时电池包：%1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Pass rate: -</source>
        <translation>通过率：-</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Pass rate: %1 %</source>
        <translation>通过率：%1 %</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Choose the folder that holds the firmware files.</source>
        <translation>请选择存放固件文件的文件夹。</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>No firmware files (*.bin, *.sorrel) in this folder.</source>
        <translation>此文件夹中没有固件文件（*.bin、*.sorrel）。</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>1 firmware file</source>
        <translation>1 个固件文件</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1 firmware files</source>
        <translation>%1 个固件文件</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 version</source>
        <translation>1 个版本</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1 versions</source>
        <translation>%1 个版本</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 for %2</source>
        <translation>%1，对应 %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>; %1 without a version in its name</source>
        <translation>；%1 个文件名中没有版本</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>A pack gets the one file whose path below this folder holds the first 12 characters of its version.</source>
        <translation>电池包使用此文件夹下路径包含其版本前 12 个字符的唯一文件。</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 files for version %2...: %3. A pack of that version is not flashed.</source>
        <translation>版本 %2... 有 %1 个文件：%3。该版本的电池包不会被烧录。</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> and </source>
        <translation> 和 </translation>
    </message>
    <message>
        <location filename="../station/stationwindow.cpp" line="+134"/>
        <source>Firmware folder</source>
        <translation>固件文件夹</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Choose a firmware folder first.</source>
        <translation>请先选择固件文件夹。</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Tick at least one port, or choose all ports.</source>
        <translation>请至少勾选一个端口，或选择所有端口。</translation>
    </message>
    <message>
        <location line="+78"/>
        <source>Stopping: no new packs; running downloads finish. Stop again interrupts them.</source>
        <translation>正在停止：不再接受新电池包；正在进行的下载将完成。再次点击停止将中断它们。</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Interrupt the running downloads?</source>
        <translation>中断正在进行的下载？</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Stopped.</source>
        <translation>已停止。</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>A download is running. Close the window anyway?</source>
        <translation>下载正在进行。仍要关闭窗口吗？</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <location filename="../station/form/stationwindow.ui" line="+14"/>
        <source>Quorvane Station</source>
        <translation>Quorvane 产线工位</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Set-up</source>
        <translation>设置</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Firmware folder:</source>
        <translation>固件文件夹：</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Browse...</source>
        <translation>浏览...</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>Baud:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>Ports:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>All ports (ports that appear later join)</source>
        <translation>所有端口（之后出现的端口自动加入）</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Only the ports ticked below</source>
        <translation>仅下方勾选的端口</translation>
    </message>
    <message>
        <location line="-43"/>
        <source>Check the version after the update</source>
        <translation>升级后检查版本</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Expected version starts with:</source>
        <translation>期望版本开头：</translation>
    </message>
    <message>
        <location line="+75"/>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Language:</source>
        <translation>语言：</translation>
    </message>
    <message>
        <location line="+105"/>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Outcome</source>
        <translation>结果</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Seconds</source>
        <translation>秒</translation>
    </message>
</context>
</TS>
