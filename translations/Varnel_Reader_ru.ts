<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>AboutDialog</name>
    <message>
        <source>About Varnel Reader</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Varnel Reader&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>lbBuilt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600; color:#000000;&quot;&gt;Halvern Instruments&lt;/span&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;Tallinn, Estonia&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;mailto:info@halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;info@halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;span style=&quot; color:#000000;&quot;&gt;&lt;br/&gt;&lt;/span&gt;&lt;a href=&quot;https://halvern-instruments.example&quot;&gt;&lt;span style=&quot; text-decoration: underline; color:#0000ff;&quot;&gt;https://halvern-instruments.example&lt;/span&gt;&lt;/a&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;justify&quot;&gt;The program is provided AS IS with NO WARRANTY OF ANY KIND, INCLUDING THE WARRANTY OF DESIGN, MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE.&lt;/p&gt;&lt;p align=&quot;justify&quot;&gt;Copyright © Halvern Instruments. All rights reserved. The program may not be sold or altered without the maker&apos;s written consent.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Built on: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Varnel Reader</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Records list:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device info:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;COMPUTER&lt;/b&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TDR Device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>current Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File list:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Working Directory:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Menu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select Working Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get Records List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set Serial Number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel Transfer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View Waveforms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%v of %m</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Local Bluetooth Adapter not found.
Make sure the device is present and the drivers for it are installed correctly.
Press Retry to try again or Abort to exit application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disconnecting...</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n queued command(s) were not carried out.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Scanning...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Anonymous</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>discovery Finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TDR waveforms (*.tdr)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>The instrument does not answer; %n command(s) were not carried out.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Connected to </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument sent an empty record; nothing was saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record %1 could not be saved as &quot;%2&quot;: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter target record number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record Number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; (not a record file)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; (unknown range)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skipped: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) left out: there is no record slot after %1.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Set Decice Serial Number </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial Number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download cancelled: %1 record(s) saved, %2 not.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload cancelled: %1 record(s) written, %2 not.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 record(s) could not be saved. %3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TDRServer</name>
    <message>
        <source>Varnel Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Varnel server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>halvern-instruments.example</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
