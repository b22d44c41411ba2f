<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CollectionPages</name>
    <message>
        <source>Minutes to wait before each new try after a failed visit, e.g. 2,5,15; empty: no retries.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retry after (minutes)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clock drift limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the device clock when it drifts further</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warn when a device&apos;s memory will be full within this many days.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Memory warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed visits in a row before the alert mail goes out.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Alert after failed visits</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>empty: no mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished">Port</translation>
    </message>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TLS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Encryption</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sender</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>recipient of the test mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send a test mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test</source>
        <translation type="unfinished">Test</translation>
    </message>
    <message>
        <source>empty: the working folder&apos;s data/data.db</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sqlite:///path/data.db or postgresql://user@host:5432/name. The program uses a new database from its next start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stored; type to replace</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please type the retry minutes as positive numbers separated by commas!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please type a correct mail server name!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please type a correct sender address!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please type a correct database URL! (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No mail server is set.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please type a correct recipient address!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This test mail was sent from the settings of the data collector.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server took the test mail.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The server did not take the test mail: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ConfigHistoryDialog</name>
    <message>
        <source>Configuration History: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Source</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Actor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changed at the station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First configuration read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuration History...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DialogGraphic</name>
    <message>
        <source>Grafik</source>
        <translation>Grafik</translation>
    </message>
    <message>
        <source>Dosya</source>
        <translation>Dosya</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Kanal Seçimi</source>
        <translation>Kanal Seçimi</translation>
    </message>
    <message>
        <source>Genel Ayarlar</source>
        <translation>Genel Ayarlar</translation>
    </message>
    <message>
        <source>Sensor hatalarını gösterme</source>
        <translation>Sensor hatalarını gösterme</translation>
    </message>
    <message>
        <source>Günlük minimum maksimum değerlerini göster</source>
        <translation>Günlük minimum maksimum değerlerini göster</translation>
    </message>
    <message>
        <source>Kaydet</source>
        <translation>Kaydet</translation>
    </message>
    <message>
        <source>Uzaklaş</source>
        <translation>Uzaklaş</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Yakınlaş</source>
        <translation>Yakınlaş</translation>
    </message>
    <message>
        <source>İptal</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Geri</source>
        <translation>Geri</translation>
    </message>
    <message>
        <source>İleri</source>
        <translation>İleri</translation>
    </message>
    <message>
        <source>Günlük Minimum</source>
        <translation>Günlük Minimum</translation>
    </message>
    <message>
        <source>Günlük Maksimum</source>
        <translation>Günlük Maksimum</translation>
    </message>
    <message>
        <source>The image could not be encoded.</source>
        <translation>The image could not be encoded.</translation>
    </message>
    <message>
        <source>Dosya Seç</source>
        <translation>Dosya Seç</translation>
    </message>
    <message>
        <source>XML Dosya (*.xml)</source>
        <translation>XML Dosya (*.xml)</translation>
    </message>
    <message>
        <source>PNG Dosya (*.png)</source>
        <translation>PNG Dosya (*.png)</translation>
    </message>
    <message>
        <source>Dosya Kaydetme Hatası</source>
        <translation>Dosya Kaydetme Hatası</translation>
    </message>
</context>
<context>
    <name>EditStationDialog</name>
    <message>
        <source>New Station</source>
        <translation>New Station</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Station Information</source>
        <translation>Station Information</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Device Type</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Basin</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Read From Station</source>
        <translation>Read From Station</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Connection Period</source>
        <translation>Connection Period</translation>
    </message>
    <message>
        <source> minute</source>
        <translation> minute</translation>
    </message>
    <message>
        <source>Phone Number</source>
        <translation>Phone Number</translation>
    </message>
    <message>
        <source>Coordinates</source>
        <translation>Coordinates</translation>
    </message>
    <message>
        <source>Latitude</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>Longitude</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Download Data</translation>
    </message>
    <message>
        <source>File Settings</source>
        <translation>File Settings</translation>
    </message>
    <message>
        <source>Save at</source>
        <translation>Save at</translation>
    </message>
    <message>
        <source>Select Directory</source>
        <translation>Select Directory</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>File Name</translation>
    </message>
    <message>
        <source>Export to text</source>
        <translation>Export to text</translation>
    </message>
    <message>
        <source>Export to Excel</source>
        <translation>Export to Excel</translation>
    </message>
    <message>
        <source>E-Mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>E-Mail Notifications</source>
        <translation>E-Mail Notifications</translation>
    </message>
    <message>
        <source>Activate e-mail notifications</source>
        <translation>Activate e-mail notifications</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Add an e-mail address</source>
        <translation>Add an e-mail address</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Remove the selected e-mail address</source>
        <translation>Remove the selected e-mail address</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Edit Station</source>
        <translation>Edit Station</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Wrong Host</source>
        <translation>Wrong Host</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Please type a correct IP/Host address!</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Please type a correct port number!</translation>
    </message>
    <message>
        <source>E-Mail Error</source>
        <translation>E-Mail Error</translation>
    </message>
    <message>
        <source>Remove E-Mail</source>
        <translation>Remove E-Mail</translation>
    </message>
    <message>
        <source>E-Mail address &quot;%1&quot; will be removed! Are you sure?</source>
        <translation>E-Mail address &quot;%1&quot; will be removed! Are you sure?</translation>
    </message>
    <message>
        <source>Please select a correct device type!</source>
        <translation>Please select a correct device type!</translation>
    </message>
    <message>
        <source>Please type a correct name!</source>
        <translation>Please type a correct name!</translation>
    </message>
    <message>
        <source>Please type a correct station code!</source>
        <translation>Please type a correct station code!</translation>
    </message>
    <message>
        <source>Please select a correct time value for connection parameters!</source>
        <translation>Please select a correct time value for connection parameters!</translation>
    </message>
    <message>
        <source>Please type a correct path!</source>
        <translation>Please type a correct path!</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a valid e-mail address!</source>
        <translation>&quot;%1&quot; is not a valid e-mail address!</translation>
    </message>
    <message>
        <source>E-Mail address &quot;%1&quot; is already exists in this list!</source>
        <translation>E-Mail address &quot;%1&quot; is already exists in this list!</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Save Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station was not saved: the database refused it.

%1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileReveal</name>
    <message>
        <source>No program to show folders could be started.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>IdentityRead</name>
    <message>
        <source>Read From Device</source>
        <translation type="unfinished">Read From Device</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished">Cancel</translation>
    </message>
    <message>
        <source>Connecting to station..</source>
        <translation type="unfinished">Connecting to station..</translation>
    </message>
    <message>
        <source>Reading device identity..</source>
        <translation type="unfinished">Reading device identity..</translation>
    </message>
    <message>
        <source>Socket Error</source>
        <translation type="unfinished">Socket Error</translation>
    </message>
    <message>
        <source>Nexil Error</source>
        <translation type="unfinished">Nexil Error</translation>
    </message>
    <message>
        <source>No answer from %1:%2 within %3 s.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>Actions</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Tools</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Main Toolbar</source>
        <translation>Main Toolbar</translation>
    </message>
    <message>
        <source>Start Collecting</source>
        <translation>Start Collecting</translation>
    </message>
    <message>
        <source>Enable Row</source>
        <translation>Enable Row</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>Add New Station</source>
        <translation>Add New Station</translation>
    </message>
    <message>
        <source>Edit Station</source>
        <translation>Edit Station</translation>
    </message>
    <message>
        <source>Delete Station</source>
        <translation>Delete Station</translation>
    </message>
    <message>
        <source>Update Station Data</source>
        <translation>Update Station Data</translation>
    </message>
    <message>
        <source>Manual Connect</source>
        <translation>Manual Connect</translation>
    </message>
    <message>
        <source>Copy Cell Value</source>
        <translation>Copy Cell Value</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Open Directory</translation>
    </message>
    <message>
        <source>Grafik</source>
        <translation>Grafik</translation>
    </message>
    <message>
        <source>About</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Count: 0</source>
        <translation>Count: 0</translation>
    </message>
    <message>
        <source>Active: 0</source>
        <translation>Active: 0</translation>
    </message>
    <message>
        <source>Inactive: 0</source>
        <translation>Inactive: 0</translation>
    </message>
    <message>
        <source>Incorrect: 0</source>
        <translation>Incorrect: 0</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;b&gt;Count&lt;/b&gt;: %1&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;b&gt;Count&lt;/b&gt;: %1&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>Disable</translation>
    </message>
    <message>
        <source>Copy &quot;%1&quot; value</source>
        <translation>Copy &quot;%1&quot; value</translation>
    </message>
    <message>
        <source>Column visibility</source>
        <translation>Column visibility</translation>
    </message>
    <message>
        <source>This station will be removed from the list. Are you sure?</source>
        <translation>This station will be removed from the list. Are you sure?</translation>
    </message>
    <message>
        <source>Remove Station</source>
        <translation>Remove Station</translation>
    </message>
    <message>
        <source>Dizin Aç</source>
        <translation>Dizin Aç</translation>
    </message>
    <message>
        <source>Dosya mevcut değil!

%1</source>
        <translation>Dosya mevcut değil!

%1</translation>
    </message>
    <message>
        <source>Dosya Hatası</source>
        <translation>Dosya Hatası</translation>
    </message>
    <message>
        <source>Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!</source>
        <translation>Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!</translation>
    </message>
    <message>
        <source>Are you sure want to quit this application?</source>
        <translation>Are you sure want to quit this application?</translation>
    </message>
    <message>
        <source>Waiting for workers..</source>
        <translation>Waiting for workers..</translation>
    </message>
    <message>
        <source>Station %1 is held by the collector %2, which visits it. It is not visited from here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The folder could not be shown.

%1
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show all stations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show only the inactive stations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show only the failing stations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filter by code, title or status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All stations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only failing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only inactive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1

The database said: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Active&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Inactive&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Error&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station %1 was not removed: the database refused it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station %1 was not changed: the database refused it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause Collecting</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ManualConnection</name>
    <message>
        <source>Manual Connection</source>
        <translation>Manual Connection</translation>
    </message>
    <message>
        <source>Connection Type</source>
        <translation>Connection Type</translation>
    </message>
    <message>
        <source>Serial Port</source>
        <translation>Serial Port</translation>
    </message>
    <message>
        <source>TCP/IP</source>
        <translation>TCP/IP</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Baudrate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Choose a connection type.</source>
        <translation>Choose a connection type.</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>Read Parameters</source>
        <translation>Read Parameters</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Download Data</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>Station Name</source>
        <translation>Station Name</translation>
    </message>
    <message>
        <source>Station Code</source>
        <translation>Station Code</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Basin</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Setup Date</source>
        <translation>Setup Date</translation>
    </message>
    <message>
        <source>Device Date</source>
        <translation>Device Date</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Device Type</translation>
    </message>
    <message>
        <source>Serial No</source>
        <translation>Serial No</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>Battery</translation>
    </message>
    <message>
        <source>Memory</source>
        <translation>Memory</translation>
    </message>
    <message>
        <source>Instant Values</source>
        <translation>Instant Values</translation>
    </message>
    <message>
        <source>Maximum Values</source>
        <translation>Maximum Values</translation>
    </message>
    <message>
        <source>Minimum Values</source>
        <translation>Minimum Values</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>Channel Name</source>
        <translation>Channel Name</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Timestamp</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Host Error</source>
        <translation>Host Error</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Please type a correct IP/Host address!</translation>
    </message>
    <message>
        <source>Port Error</source>
        <translation>Port Error</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Please type a correct port number!</translation>
    </message>
    <message>
        <source>%1 V</source>
        <translation>%1 V</translation>
    </message>
    <message>
        <source>%1 (%2 bytes)</source>
        <translation>%1 (%2 bytes)</translation>
    </message>
    <message>
        <source>Download Progress</source>
        <translation>Download Progress</translation>
    </message>
    <message>
        <source>Downloading %1 packages.</source>
        <translation>Downloading %1 packages.</translation>
    </message>
    <message>
        <source>Downloading %1/%2</source>
        <translation>Downloading %1/%2</translation>
    </message>
    <message>
        <source>Saving files..</source>
        <translation>Saving files..</translation>
    </message>
    <message>
        <source>Operation Failed!</source>
        <translation>Operation Failed!</translation>
    </message>
    <message>
        <source>Could not save the data file %1</source>
        <translation>Could not save the data file %1</translation>
    </message>
    <message>
        <source>The device took part of the setup.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Look and Feel</source>
        <translation>Look and Feel</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>Theme</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Style</translation>
    </message>
    <message>
        <source>StyleSheet</source>
        <translation>StyleSheet</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>Font</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Family</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>Sample Text</source>
        <translation>Sample Text</translation>
    </message>
    <message>
        <source>Save at</source>
        <translation>Save at</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Select Directory</source>
        <translation>Select Directory</translation>
    </message>
    <message>
        <source>Automatically export to Text file.</source>
        <translation>Automatically export to Text file.</translation>
    </message>
    <message>
        <source>Automatically export to Excel file.</source>
        <translation>Automatically export to Excel file.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Collection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station Store</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished">Error</translation>
    </message>
    <message>
        <source>The settings could not be written to %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationMonitor</name>
    <message>
        <source>Memory may overwrite unread data on %1</source>
        <translation>Memory may overwrite unread data on %1</translation>
    </message>
    <message>
        <source>Configuration changed at the station: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationStats</name>
    <message>
        <source>Visits: %1, succeeded %2, failed %3, retries %4</source>
        <translation>Visits: %1, succeeded %2, failed %3, retries %4</translation>
    </message>
    <message>
        <source>Last success: %1</source>
        <translation>Last success: %1</translation>
    </message>
    <message>
        <source>never</source>
        <translation>never</translation>
    </message>
    <message>
        <source>Clock drift: %1 s</source>
        <translation>Clock drift: %1 s</translation>
    </message>
    <message>
        <source> (beyond the limit)</source>
        <translation> (beyond the limit)</translation>
    </message>
    <message>
        <source>Memory full: %1, unread data overwritten: %2</source>
        <translation>Memory full: %1, unread data overwritten: %2</translation>
    </message>
    <message>
        <source>Completeness unknown: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationTableModel</name>
    <message>
        <source>#ID</source>
        <translation>#ID</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Station Name</source>
        <translation>Station Name</translation>
    </message>
    <message>
        <source>Station Code</source>
        <translation>Station Code</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Basin</translation>
    </message>
    <message>
        <source>Station No</source>
        <translation>Station No</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Device Type</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Connection Period</source>
        <translation>Connection Period</translation>
    </message>
    <message>
        <source>Last Connection Time</source>
        <translation>Last Connection Time</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Coordinate</source>
        <translation>Coordinate</translation>
    </message>
    <message>
        <source>E-Mail Notification</source>
        <translation>E-Mail Notification</translation>
    </message>
    <message>
        <source>E-Mail List</source>
        <translation>E-Mail List</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Directory</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>File Name</translation>
    </message>
    <message>
        <source>Text Export</source>
        <translation>Text Export</translation>
    </message>
    <message>
        <source>Excel Export</source>
        <translation>Excel Export</translation>
    </message>
    <message>
        <source>Air Humudiry</source>
        <translation>Air Humudiry</translation>
    </message>
    <message>
        <source>Air Pressure</source>
        <translation>Air Pressure</translation>
    </message>
    <message>
        <source>Air Temperature</source>
        <translation>Air Temperature</translation>
    </message>
    <message>
        <source>Direct Radiation</source>
        <translation>Direct Radiation</translation>
    </message>
    <message>
        <source>Electrical Conductivity</source>
        <translation>Electrical Conductivity</translation>
    </message>
    <message>
        <source>ETo</source>
        <translation>ETo</translation>
    </message>
    <message>
        <source>Evapotranspiration</source>
        <translation>Evapotranspiration</translation>
    </message>
    <message>
        <source>Global Radiation</source>
        <translation>Global Radiation</translation>
    </message>
    <message>
        <source>Leaf Wetness</source>
        <translation>Leaf Wetness</translation>
    </message>
    <message>
        <source>Potential Hydrogen</source>
        <translation>Potential Hydrogen</translation>
    </message>
    <message>
        <source>Precipitation</source>
        <translation>Precipitation</translation>
    </message>
    <message>
        <source>Sunshine Duration</source>
        <translation>Sunshine Duration</translation>
    </message>
    <message>
        <source>Soil Moisture</source>
        <translation>Soil Moisture</translation>
    </message>
    <message>
        <source>Snow Depth</source>
        <translation>Snow Depth</translation>
    </message>
    <message>
        <source>Water Amount</source>
        <translation>Water Amount</translation>
    </message>
    <message>
        <source>Water Flow</source>
        <translation>Water Flow</translation>
    </message>
    <message>
        <source>Water Level</source>
        <translation>Water Level</translation>
    </message>
    <message>
        <source>Water Speed</source>
        <translation>Water Speed</translation>
    </message>
    <message>
        <source>Water Temperature</source>
        <translation>Water Temperature</translation>
    </message>
    <message>
        <source>Water Capacity</source>
        <translation>Water Capacity</translation>
    </message>
    <message>
        <source>Wind Direction</source>
        <translation>Wind Direction</translation>
    </message>
    <message>
        <source>Wind Speed</source>
        <translation>Wind Speed</translation>
    </message>
    <message>
        <source>Doluluk Oranı</source>
        <translation>Doluluk Oranı</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished">No</translation>
    </message>
</context>
<context>
    <name>StoreHealth</name>
    <message>
        <source>The database has not stored statuses since %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The database has not stored statuses since %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Worker</name>
    <message>
        <source>Connecting..</source>
        <translation>Connecting..</translation>
    </message>
    <message>
        <source>Reading parameters</source>
        <translation>Reading parameters</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>The station has no data directory.</source>
        <translation>The station has no data directory.</translation>
    </message>
    <message>
        <source>Could not save the data file %1</source>
        <translation>Could not save the data file %1</translation>
    </message>
    <message>
        <source>Visit interrupted by stop</source>
        <translation>Visit interrupted by stop</translation>
    </message>
    <message>
        <source>Visit interrupted by stop while waiting to save %1</source>
        <translation>Visit interrupted by stop while waiting to save %1</translation>
    </message>
    <message>
        <source>Retry %1 of %2 in %3 min: %4</source>
        <translation>Retry %1 of %2 in %3 min: %4</translation>
    </message>
    <message>
        <source>%1 (device clock off by %2 s)</source>
        <translation>%1 (device clock off by %2 s)</translation>
    </message>
    <message>
        <source>Device clock off by %1 s (limit %2 s)</source>
        <translation>Device clock off by %1 s (limit %2 s)</translation>
    </message>
    <message>
        <source>Setting the device clock to the host time (off by %1 s)</source>
        <translation>Setting the device clock to the host time (off by %1 s)</translation>
    </message>
    <message>
        <source>Device clock set to the host time</source>
        <translation>Device clock set to the host time</translation>
    </message>
    <message>
        <source>Device clock not set: wrong device password</source>
        <translation>Device clock not set: wrong device password</translation>
    </message>
    <message>
        <source>Lease expired: the station store cannot be reached</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lease lost: station now held by %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit dropped: the lease on the station expired</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit dropped: station now held by %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Visit dropped: the lease on the station could not be confirmed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Collection stopped before the retry: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station&apos;s file name cannot name a file: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Database Error</source>
        <translation>Database Error</translation>
    </message>
    <message>
        <source>Could not connect to database.</source>
        <translation>Could not connect to database.</translation>
    </message>
    <message>
        <source>the folder %1 could not be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database: %1
Reason: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
