<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CollectionPages</name>
    <message>
        <source>Minutes to wait before each new try after a failed visit, e.g. 2,5,15; empty: no retries.</source>
        <translation>Minutes to wait before each new try after a failed visit, e.g. 2,5,15; empty: no retries.</translation>
    </message>
    <message>
        <source>Retry after (minutes)</source>
        <translation>Retry after (minutes)</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Clock drift limit</source>
        <translation>Clock drift limit</translation>
    </message>
    <message>
        <source>Set the device clock when it drifts further</source>
        <translation>Set the device clock when it drifts further</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>Device password</translation>
    </message>
    <message>
        <source> days</source>
        <translation> days</translation>
    </message>
    <message>
        <source>Warn when a device&apos;s memory will be full within this many days.</source>
        <translation>Warn when a device&apos;s memory will be full within this many days.</translation>
    </message>
    <message>
        <source>Memory warning</source>
        <translation>Memory warning</translation>
    </message>
    <message>
        <source>Failed visits in a row before the alert mail goes out.</source>
        <translation>Failed visits in a row before the alert mail goes out.</translation>
    </message>
    <message>
        <source>Alert after failed visits</source>
        <translation>Alert after failed visits</translation>
    </message>
    <message>
        <source>empty: no mail</source>
        <translation>empty: no mail</translation>
    </message>
    <message>
        <source>Mail server</source>
        <translation>Mail server</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>STARTTLS</source>
        <translation>STARTTLS</translation>
    </message>
    <message>
        <source>TLS</source>
        <translation>TLS</translation>
    </message>
    <message>
        <source>Encryption</source>
        <translation>Encryption</translation>
    </message>
    <message>
        <source>User</source>
        <translation>User</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>recipient of the test mail</source>
        <translation>recipient of the test mail</translation>
    </message>
    <message>
        <source>Send a test mail</source>
        <translation>Send a test mail</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>empty: the working folder&apos;s data/data.db</source>
        <translation>empty: the working folder&apos;s data/data.db</translation>
    </message>
    <message>
        <source>Database URL</source>
        <translation>Database URL</translation>
    </message>
    <message>
        <source>sqlite:///path/data.db or postgresql://user@host:5432/name. The program uses a new database from its next start.</source>
        <translation>sqlite:///path/data.db or postgresql://user@host:5432/name. The program uses a new database from its next start.</translation>
    </message>
    <message>
        <source>stored; type to replace</source>
        <translation>stored; type to replace</translation>
    </message>
    <message>
        <source>Please type the retry minutes as positive numbers separated by commas!</source>
        <translation>Please type the retry minutes as positive numbers separated by commas!</translation>
    </message>
    <message>
        <source>Please type a correct mail server name!</source>
        <translation>Please type a correct mail server name!</translation>
    </message>
    <message>
        <source>Please type a correct sender address!</source>
        <translation>Please type a correct sender address!</translation>
    </message>
    <message>
        <source>Please type a correct database URL! (%1)</source>
        <translation>Please type a correct database URL! (%1)</translation>
    </message>
    <message>
        <source>No mail server is set.</source>
        <translation>No mail server is set.</translation>
    </message>
    <message>
        <source>Please type a correct recipient address!</source>
        <translation>Please type a correct recipient address!</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Sending...</translation>
    </message>
    <message>
        <source>Test mail</source>
        <translation>Test mail</translation>
    </message>
    <message>
        <source>This test mail was sent from the settings of the data collector.</source>
        <translation>This test mail was sent from the settings of the data collector.</translation>
    </message>
    <message>
        <source>The server took the test mail.</source>
        <translation>The server took the test mail.</translation>
    </message>
    <message>
        <source>The server did not take the test mail: %1</source>
        <translation>The server did not take the test mail: %1</translation>
    </message>
    <message>
        <source>The mail server %1 was not found: check its name.</source>
        <translation>The mail server %1 was not found: check its name.</translation>
    </message>
    <message>
        <source>The mail server %1 could not be reached: check its name, port and encryption (%2).</source>
        <translation>The mail server %1 could not be reached: check its name, port and encryption (%2).</translation>
    </message>
    <message>
        <source>The mail server refused the user or password (%1).</source>
        <translation>The mail server refused the user or password (%1).</translation>
    </message>
    <message>
        <source>The encrypted connection to %1 failed: check the encryption and port (%2).</source>
        <translation>The encrypted connection to %1 failed: check the encryption and port (%2).</translation>
    </message>
    <message>
        <source>Not sent: the password would go unencrypted. Choose STARTTLS or TLS as the encryption, or leave the user empty.</source>
        <translation>Not sent: the password would go unencrypted. Choose STARTTLS or TLS as the encryption, or leave the user empty.</translation>
    </message>
</context>
<context>
    <name>ConfigChange</name>
    <message>
        <source>(none)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>Station name</translation>
    </message>
    <message>
        <source>Station code</source>
        <translation>Station code</translation>
    </message>
    <message>
        <source>Start of day</source>
        <translation>Start of day</translation>
    </message>
    <message>
        <source>Alarm %1 maximum</source>
        <translation>Alarm %1 maximum</translation>
    </message>
    <message>
        <source>Alarm %1 minimum</source>
        <translation>Alarm %1 minimum</translation>
    </message>
    <message>
        <source>Alarm %1 %2</source>
        <translation>Alarm %1 %2</translation>
    </message>
    <message>
        <source>Channel %1 name</source>
        <translation>Channel %1 name</translation>
    </message>
    <message>
        <source>Channel %1 state</source>
        <translation>Channel %1 state</translation>
    </message>
    <message>
        <source>Channel %1 unit</source>
        <translation>Channel %1 unit</translation>
    </message>
    <message>
        <source>Channel %1 %2</source>
        <translation>Channel %1 %2</translation>
    </message>
</context>
<context>
    <name>ConfigHistoryDialog</name>
    <message>
        <source>Configuration History: %1</source>
        <translation>Configuration History: %1</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Actor</source>
        <translation>Actor</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>Changed at the station</source>
        <translation>Changed at the station</translation>
    </message>
    <message>
        <source>First configuration read</source>
        <translation>First configuration read</translation>
    </message>
    <message>
        <source>No change</source>
        <translation>No change</translation>
    </message>
    <message>
        <source>Configuration History...</source>
        <translation>Configuration History...</translation>
    </message>
</context>
<context>
    <name>Connection</name>
    <message>
        <source>Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>A TCP socket connection already exists. Close the other connection first.</translation>
    </message>
    <message>
        <source>Bir seri port bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>A serial port connection already exists. Close the other connection first.</translation>
    </message>
    <message>
        <source>Seri port bağlı değil. Önce bağlantı kurmalısınız.</source>
        <translation>The serial port is not connected. Connect first.</translation>
    </message>
    <message>
        <source>Seri port bağlantısı zaten kullanılıyor. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>The serial port connection is in use. Close the other connection first.</translation>
    </message>
    <message>
        <source>TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız.</source>
        <translation>The TCP socket connection is not open. Connect first.</translation>
    </message>
    <message>
        <source>Geçerli bir bağlantı yok!</source>
        <translation>There is no valid connection!</translation>
    </message>
</context>
<context>
    <name>DialogGraphic</name>
    <message>
        <source>Grafik</source>
        <translation>Chart</translation>
    </message>
    <message>
        <source>Dosya</source>
        <translation>File</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Kanal Seçimi</source>
        <translation>Channel Selection</translation>
    </message>
    <message>
        <source>Genel Ayarlar</source>
        <translation>General Settings</translation>
    </message>
    <message>
        <source>Sensor hatalarını gösterme</source>
        <translation>Hide sensor errors</translation>
    </message>
    <message>
        <source>Günlük minimum maksimum değerlerini göster</source>
        <translation>Show the daily minimum and maximum values</translation>
    </message>
    <message>
        <source>Kaydet</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Uzaklaş</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Yakınlaş</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>İptal</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Geri</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>İleri</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Günlük Minimum</source>
        <translation>Daily Minimum</translation>
    </message>
    <message>
        <source>Günlük Maksimum</source>
        <translation>Daily Maximum</translation>
    </message>
    <message>
        <source>The image could not be encoded.</source>
        <translation>The image could not be encoded.</translation>
    </message>
    <message>
        <source>Dosya Seç</source>
        <translation>Choose File</translation>
    </message>
    <message>
        <source>XML Dosya (*.xml)</source>
        <translation>XML File (*.xml)</translation>
    </message>
    <message>
        <source>PNG Dosya (*.png)</source>
        <translation>PNG File (*.png)</translation>
    </message>
    <message>
        <source>Dosya Kaydetme Hatası</source>
        <translation>File Save Error</translation>
    </message>
    <message>
        <source>High alarm %1 (clears below %2)</source>
        <translation>High alarm %1 (clears below %2)</translation>
    </message>
    <message>
        <source>High alarm clears below %1</source>
        <translation>High alarm clears below %1</translation>
    </message>
    <message>
        <source>Low alarm %1 (clears above %2)</source>
        <translation>Low alarm %1 (clears above %2)</translation>
    </message>
    <message>
        <source>Low alarm clears above %1</source>
        <translation>Low alarm clears above %1</translation>
    </message>
    <message>
        <source>Suspect</source>
        <translation>Suspect</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Failed</translation>
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
        <translation>Save Station</translation>
    </message>
    <message>
        <source>The station was not saved: the database refused it.

%1</source>
        <translation>The station was not saved: the database refused it.

%1</translation>
    </message>
</context>
<context>
    <name>FileReveal</name>
    <message>
        <source>No program to show folders could be started.</source>
        <translation>No program to show folders could be started.</translation>
    </message>
</context>
<context>
    <name>IdentityRead</name>
    <message>
        <source>Read From Device</source>
        <translation>Read From Device</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Connecting to station..</source>
        <translation>Connecting to station..</translation>
    </message>
    <message>
        <source>Reading device identity..</source>
        <translation>Reading device identity..</translation>
    </message>
    <message>
        <source>Socket Error</source>
        <translation>Socket Error</translation>
    </message>
    <message>
        <source>Nexil Error</source>
        <translation>Nexil Error</translation>
    </message>
    <message>
        <source>No answer from %1:%2 within %3 s.</source>
        <translation>No answer from %1:%2 within %3 s.</translation>
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
        <translation>Chart</translation>
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
        <translation>Open Folder</translation>
    </message>
    <message>
        <source>Dosya mevcut değil!

%1</source>
        <translation>The file does not exist!

%1</translation>
    </message>
    <message>
        <source>Dosya Hatası</source>
        <translation>File Error</translation>
    </message>
    <message>
        <source>Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!</source>
        <translation>There is no data file. Make sure data was downloaded from the device first!</translation>
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
        <translation>Station %1 is held by the collector %2, which visits it. It is not visited from here.</translation>
    </message>
    <message>
        <source>The folder could not be shown.

%1
%2</source>
        <translation>The folder could not be shown.

%1
%2</translation>
    </message>
    <message>
        <source>Show all stations</source>
        <translation>Show all stations</translation>
    </message>
    <message>
        <source>Show only the inactive stations</source>
        <translation>Show only the inactive stations</translation>
    </message>
    <message>
        <source>Show only the failing stations</source>
        <translation>Show only the failing stations</translation>
    </message>
    <message>
        <source>Filter by code, title or status</source>
        <translation>Filter by code, title or status</translation>
    </message>
    <message>
        <source>All stations</source>
        <translation>All stations</translation>
    </message>
    <message>
        <source>Only failing</source>
        <translation>Only failing</translation>
    </message>
    <message>
        <source>Only inactive</source>
        <translation>Only inactive</translation>
    </message>
    <message>
        <source>%1

The database said: %2</source>
        <translation>%1

The database said: %2</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Active&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Active&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Inactive&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Inactive&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Error&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Error&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Station %1 was not removed: the database refused it.</source>
        <translation>Station %1 was not removed: the database refused it.</translation>
    </message>
    <message>
        <source>Station %1 was not changed: the database refused it.</source>
        <translation>Station %1 was not changed: the database refused it.</translation>
    </message>
    <message>
        <source>Pause Collecting</source>
        <translation>Pause Collecting</translation>
    </message>
    <message>
        <source>Clock: 0</source>
        <translation>Clock: 0</translation>
    </message>
    <message>
        <source>Show only the stations whose device clock is off beyond the limit</source>
        <translation>Show only the stations whose device clock is off beyond the limit</translation>
    </message>
    <message>
        <source>Only clock warnings</source>
        <translation>Only clock warnings</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Clock&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Clock&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Alarm: 0</source>
        <translation>Alarm: 0</translation>
    </message>
    <message>
        <source>Show only the stations with a value alarm</source>
        <translation>Show only the stations with a value alarm</translation>
    </message>
    <message>
        <source>Only value alarms</source>
        <translation>Only value alarms</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Alarm&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Alarm&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
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
        <translation>The device took part of the setup.</translation>
    </message>
</context>
<context>
    <name>Nexil</name>
    <message>
        <source>Gönderilecek kayıt eksik: %1</source>
        <translation>The record to send is incomplete: %1</translation>
    </message>
    <message>
        <source>Checksum hatası.</source>
        <translation>Checksum error.</translation>
    </message>
    <message>
        <source>Bilinmeyen Cihaz</source>
        <translation>Unknown Device</translation>
    </message>
    <message>
        <source>Çok Kanallı Datalogger</source>
        <translation>Multi-Channel Datalogger</translation>
    </message>
    <message>
        <source>Açık Kanal Debimetre</source>
        <translation>Open Channel Flow Meter</translation>
    </message>
    <message>
        <source>Kapalı Boru Debimetre</source>
        <translation>Closed Pipe Flow Meter</translation>
    </message>
    <message>
        <source>Basınç Sensörlü Seviye ve Sıcaklık Kaydedici</source>
        <translation>Pressure Sensor Level and Temperature Logger</translation>
    </message>
    <message>
        <source>Radar Sensörlü Seviye Kaydedici</source>
        <translation>Radar Sensor Level Logger</translation>
    </message>
    <message>
        <source>Manyetik Enkoderli Şamandralı Seviye Kaydedici</source>
        <translation>Float Level Logger with Magnetic Encoder</translation>
    </message>
    <message>
        <source>Tek Kanallı Datalogger</source>
        <translation>Single-Channel Datalogger</translation>
    </message>
    <message>
        <source>Bilinmeyen</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Hava Nemi</source>
        <translation>Air Humidity</translation>
    </message>
    <message>
        <source>Hava Basinci</source>
        <translation>Air Pressure</translation>
    </message>
    <message>
        <source>Hava Sicakligi</source>
        <translation>Air Temperature</translation>
    </message>
    <message>
        <source>Direkt Radyasyon</source>
        <translation>Direct Radiation</translation>
    </message>
    <message>
        <source>Elektriksel Iletkenlik</source>
        <translation>Electrical Conductivity</translation>
    </message>
    <message>
        <source>Buharlasma (Hesaplanmis)</source>
        <translation>Evaporation (Calculated)</translation>
    </message>
    <message>
        <source>Buharlasma (Olculmus)</source>
        <translation>Evaporation (Measured)</translation>
    </message>
    <message>
        <source>Global Radyasyon</source>
        <translation>Global Radiation</translation>
    </message>
    <message>
        <source>Yaprak Nemi</source>
        <translation>Leaf Wetness</translation>
    </message>
    <message>
        <source>Hidrojen Gucu</source>
        <translation>pH</translation>
    </message>
    <message>
        <source>Yagis</source>
        <translation>Precipitation</translation>
    </message>
    <message>
        <source>Guneslenme Suresi</source>
        <translation>Sunshine Duration</translation>
    </message>
    <message>
        <source>Toprak Nemi</source>
        <translation>Soil Moisture</translation>
    </message>
    <message>
        <source>Kar Seviyesi</source>
        <translation>Snow Depth</translation>
    </message>
    <message>
        <source>Su Miktari</source>
        <translation>Water Amount</translation>
    </message>
    <message>
        <source>Su Debisi</source>
        <translation>Water Flow</translation>
    </message>
    <message>
        <source>Su Seviyesi</source>
        <translation>Water Level</translation>
    </message>
    <message>
        <source>Su Hizi</source>
        <translation>Water Speed</translation>
    </message>
    <message>
        <source>Su Sicakligi</source>
        <translation>Water Temperature</translation>
    </message>
    <message>
        <source>Su Hacmi</source>
        <translation>Water Volume</translation>
    </message>
    <message>
        <source>Ruzgar Yonu</source>
        <translation>Wind Direction</translation>
    </message>
    <message>
        <source>Ruzgar Hizi</source>
        <translation>Wind Speed</translation>
    </message>
    <message>
        <source>Baraj Doluluk Oranı</source>
        <translation>Dam Fill Ratio</translation>
    </message>
    <message>
        <source>Besleme Voltajı</source>
        <translation>Supply Voltage</translation>
    </message>
    <message>
        <source>Cihaz meşgul.</source>
        <translation>Device busy.</translation>
    </message>
    <message>
        <source>Cihaz Meşgul.</source>
        <translation>Device Busy.</translation>
    </message>
    <message>
        <source>İndirme işlemi kesildi.</source>
        <translation>The download was interrupted.</translation>
    </message>
    <message>
        <source>Cihaz gönderilen kaydı kabul etmedi.</source>
        <translation>The device did not accept the record sent.</translation>
    </message>
    <message>
        <source>İşlem zaman aşımı.</source>
        <translation>Operation timed out.</translation>
    </message>
    <message>
        <source>Bilinmeyen cevap.</source>
        <translation>Unknown answer.</translation>
    </message>
    <message>
        <source>Desteklenmeyen firmware sürümü.</source>
        <translation>Unsupported firmware version.</translation>
    </message>
    <message>
        <source>Bilinmeyen cihaz.</source>
        <translation>Unknown device.</translation>
    </message>
    <message>
        <source>Tanımlanamayan veri.</source>
        <translation>Unrecognised data.</translation>
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
        <translation>Collection</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>Station Store</source>
        <translation>Station Store</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The settings could not be written to %1.</source>
        <translation>The settings could not be written to %1.</translation>
    </message>
    <message>
        <source>A new language is used from the next start of the program.</source>
        <translation>A new language is used from the next start of the program.</translation>
    </message>
</context>
<context>
    <name>SetupDialog</name>
    <message>
        <source>Kurulum parametreleri okunuyor
Lütfen bekleyin..</source>
        <translation>Reading the setup parameters
Please wait..</translation>
    </message>
    <message>
        <source>Kanal isimleri okunuyor
Lütfen bekleyin..</source>
        <translation>Reading the channel names
Please wait..</translation>
    </message>
    <message>
        <source>Kanal kalibrasyonları okunuyor
Lütfen bekleyin..</source>
        <translation>Reading the channel calibrations
Please wait..</translation>
    </message>
    <message>
        <source>Alarm parametreleri okunuyor
Lütfen bekleyin..</source>
        <translation>Reading the alarm parameters
Please wait..</translation>
    </message>
    <message>
        <source>Hata</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Nothing differs from what was read from the device.</source>
        <translation>Nothing differs from what was read from the device.</translation>
    </message>
    <message>
        <source>Changes against what was read from the device:
%1</source>
        <translation>Changes against what was read from the device:
%1</translation>
    </message>
    <message>
        <source>Gönder</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Yes sends the changed records, Yes to All sends every record, No sends nothing.</source>
        <translation>Yes sends the changed records, Yes to All sends every record, No sends nothing.</translation>
    </message>
    <message>
        <source>Nothing was sent: no record differs from the device&apos;s.</source>
        <translation>Nothing was sent: no record differs from the device&apos;s.</translation>
    </message>
    <message>
        <source>Reading back what the device took
Lütfen bekleyin..</source>
        <translation>Reading back what the device took
Please wait..</translation>
    </message>
    <message>
        <source>Kurulum Sihirbazı</source>
        <translation>Setup Wizard</translation>
    </message>
    <message>
        <source>Kayıt için tam saati bekle</source>
        <translation>Wait for the full hour to record</translation>
    </message>
    <message>
        <source>RS-485 çıkış</source>
        <translation>RS-485 output</translation>
    </message>
    <message>
        <source>Eski kurulumları sakla</source>
        <translation>Keep old setups</translation>
    </message>
    <message>
        <source>Cihaz Tipi</source>
        <translation>Device Type</translation>
    </message>
    <message>
        <source>Seri No</source>
        <translation>Serial No</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>İstasyon Adı</source>
        <translation>Station Name</translation>
    </message>
    <message>
        <source>İstasyon Kodu</source>
        <translation>Station Code</translation>
    </message>
    <message>
        <source>Bölge</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>Havza</source>
        <translation>Basin</translation>
    </message>
    <message>
        <source>İstasyon No</source>
        <translation>Station No</translation>
    </message>
    <message>
        <source>Sensör Açma/Kapama Süresi</source>
        <translation>Sensor On/Off Time</translation>
    </message>
    <message>
        <source>Sensör Bekleme Süresi</source>
        <translation>Sensor Waiting Time</translation>
    </message>
    <message>
        <source>Gün Başlangıcı</source>
        <translation>Start of Day</translation>
    </message>
    <message>
        <source>Durum</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Kanal Adı</source>
        <translation>Channel Name</translation>
    </message>
    <message>
        <source>Kanal Ölçüm Tipi</source>
        <translation>Channel Measurement Type</translation>
    </message>
    <message>
        <source>Kayıt Aralığı</source>
        <translation>Record Interval</translation>
    </message>
    <message>
        <source>Min/Max Tipi</source>
        <translation>Min/Max Type</translation>
    </message>
    <message>
        <source>Kayıt Tipi</source>
        <translation>Record Type</translation>
    </message>
    <message>
        <source>Birim</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Ofset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Max Değer</source>
        <translation>Max Value</translation>
    </message>
    <message>
        <source>Min Değer</source>
        <translation>Min Value</translation>
    </message>
    <message>
        <source>Ölçüm Tipi</source>
        <translation>Measurement Type</translation>
    </message>
    <message>
        <source>Kazanç</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>Çarpan</source>
        <translation>Multiplier</translation>
    </message>
    <message>
        <source>Min Voltaj</source>
        <translation>Min Voltage</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Maksimum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Maksimum Reset</source>
        <translation>Maximum Reset</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Minimum Reset</source>
        <translation>Minimum Reset</translation>
    </message>
    <message>
        <source>Şifre</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Yalnızca Kanal Kalibrasyonlarını Gönder</source>
        <translation>Send Only the Channel Calibrations</translation>
    </message>
    <message>
        <source>Yalnızca Alarm Parametrelerini Gönder</source>
        <translation>Send Only the Alarm Parameters</translation>
    </message>
    <message>
        <source>Tüm Kurulum Bilgilerini Gönder</source>
        <translation>Send the Whole Setup</translation>
    </message>
    <message>
        <source>İptal</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&lt; Geri</source>
        <translation>&lt; Back</translation>
    </message>
    <message>
        <source>İleri &gt;</source>
        <translation>Next &gt;</translation>
    </message>
    <message>
        <source>Pasif</source>
        <translation>Passive</translation>
    </message>
    <message>
        <source>Aktif</source>
        <translation>Active</translation>
    </message>
    <message>
        <source>Anlık</source>
        <translation>Instant</translation>
    </message>
    <message>
        <source>Kayıt</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>Ortalama</source>
        <translation>Average</translation>
    </message>
    <message>
        <source>Bazı sensörlerin kalibrasyonunda yer alan katsayı değeri.</source>
        <translation>A coefficient used in the calibration of some sensors.</translation>
    </message>
    <message>
        <source>Eşel değeri</source>
        <translation>Staff gauge value</translation>
    </message>
    <message>
        <source>Maksimum eşel değeri</source>
        <translation>Maximum staff gauge value</translation>
    </message>
    <message>
        <source>Minimum eşel değeri (Varsayılan: 0)</source>
        <translation>Minimum staff gauge value (default: 0)</translation>
    </message>
    <message>
        <source>Baraj</source>
        <translation>Dam</translation>
    </message>
    <message>
        <source>Kuyu</source>
        <translation>Well</translation>
    </message>
    <message>
        <source>Parametre Okuma</source>
        <translation>Reading Parameters</translation>
    </message>
    <message>
        <source>Kurulum Parametreleri</source>
        <translation>Setup Parameters</translation>
    </message>
    <message>
        <source>Kanal İsimleri</source>
        <translation>Channel Names</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları</source>
        <translation>Channel Calibrations</translation>
    </message>
    <message>
        <source>Alarm Ayarları</source>
        <translation>Alarm Settings</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir istasyon adı girin!</source>
        <translation>Please type a valid station name!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir kanal ismi girin!</source>
        <translation>Please type a valid channel name!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir ölçüm tipi seçin!</source>
        <translation>Please select a valid measurement type!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir birim seçin!</source>
        <translation>Please select a valid unit!</translation>
    </message>
    <message>
        <source>Lütfen 0 ile 9 arasında bir çarpan girin!</source>
        <translation>Please type a multiplier from 0 to 9!</translation>
    </message>
    <message>
        <source>Kanal İsimleri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Sending the Channel Names
Please wait..</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Sending the Channel Calibrations
Please wait..</translation>
    </message>
    <message>
        <source>Kurulum Bilgileri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Sending the Setup
Please wait..</translation>
    </message>
    <message>
        <source>Alarm Parametreleri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Sending the Alarm Parameters
Please wait..</translation>
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
        <translation>Configuration changed at the station: %1</translation>
    </message>
</context>
<context>
    <name>StationRules</name>
    <message>
        <source>The station code is empty.</source>
        <translation>The station code is empty.</translation>
    </message>
    <message>
        <source>The station code is longer than %1 characters.</source>
        <translation>The station code is longer than %1 characters.</translation>
    </message>
    <message>
        <source>The station code &quot;%1&quot; cannot name a folder or a file: it may not hold / \ : * ? &quot; &lt; &gt; | , or control characters, nor start or end with a dot or a blank.</source>
        <translation>The station code &quot;%1&quot; cannot name a folder or a file: it may not hold / \ : * ? &quot; &lt; &gt; | , or control characters, nor start or end with a dot or a blank.</translation>
    </message>
    <message>
        <source>The station code %1 is already used by station %2 (%3).</source>
        <translation>The station code %1 is already used by station %2 (%3).</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Please type a correct IP/Host address!</translation>
    </message>
    <message>
        <source>%1 is not an IPv4 address (four numbers from 0 to 255).</source>
        <translation>%1 is not an IPv4 address (four numbers from 0 to 255).</translation>
    </message>
    <message>
        <source>%1 is not a host name (letters, digits, &apos;-&apos; and &apos;.&apos;).</source>
        <translation>%1 is not a host name (letters, digits, &apos;-&apos; and &apos;.&apos;).</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Please type a correct port number!</translation>
    </message>
    <message>
        <source>%1 is not an IPv6 address.</source>
        <translation>%1 is not an IPv6 address.</translation>
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
        <translation>Completeness unknown: %1</translation>
    </message>
</context>
<context>
    <name>StationStatus</name>
    <message>
        <source>Download completed.</source>
        <translation>Download completed.</translation>
    </message>
    <message>
        <source>Saving files..</source>
        <translation>Saving files..</translation>
    </message>
    <message>
        <source>Downloading packages (Total: %1)</source>
        <translation>Downloading packages (Total: %1)</translation>
    </message>
    <message>
        <source>Downloading packages %1/%2</source>
        <translation>Downloading packages %1/%2</translation>
    </message>
    <message>
        <source>Okunan istasyon kodu &quot;%1&quot;. Okunan kod ile kayıtlı kod eşleşmiyor!</source>
        <translation>The station code read is &quot;%1&quot;. The code read does not match the stored code!</translation>
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
        <translation>Fill Ratio</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Download Data</translation>
    </message>
    <message>
        <source>Collection is off for this station.</source>
        <translation>Collection is off for this station.</translation>
    </message>
    <message>
        <source>Failing since %1</source>
        <translation>Failing since %1</translation>
    </message>
    <message>
        <source>Failing; last success %1</source>
        <translation>Failing; last success %1</translation>
    </message>
    <message>
        <source>Failing</source>
        <translation>Failing</translation>
    </message>
    <message numerus="yes">
        <source>(%n failed visit(s) in a row)</source>
        <translation>
            <numerusform>(%n failed visit in a row)</numerusform>
            <numerusform>(%n failed visits in a row)</numerusform>
        </translation>
    </message>
    <message>
        <source>The device clock was off beyond the limit at the last visit.</source>
        <translation>The device clock was off beyond the limit at the last visit.</translation>
    </message>
    <message>
        <source>high</source>
        <translation>high</translation>
    </message>
    <message>
        <source>low</source>
        <translation>low</translation>
    </message>
    <message>
        <source>rise</source>
        <translation>rise</translation>
    </message>
    <message>
        <source>Value alarm on channel %1: %2 since %3, value %4</source>
        <translation>Value alarm on channel %1: %2 since %3, value %4</translation>
    </message>
</context>
<context>
    <name>StoreHealth</name>
    <message>
        <source>The database has not stored statuses since %1.</source>
        <translation>The database has not stored statuses since %1.</translation>
    </message>
    <message>
        <source>The database has not stored statuses since %1: %2</source>
        <translation>The database has not stored statuses since %1: %2</translation>
    </message>
</context>
<context>
    <name>UploadCheck</name>
    <message>
        <source>%1 and %2</source>
        <translation>%1 and %2</translation>
    </message>
    <message>
        <source>setup</source>
        <translation>setup</translation>
    </message>
    <message>
        <source>channel names</source>
        <translation>channel names</translation>
    </message>
    <message>
        <source>calibrations</source>
        <translation>calibrations</translation>
    </message>
    <message>
        <source>alarms</source>
        <translation>alarms</translation>
    </message>
    <message>
        <source>the device did not answer</source>
        <translation>the device did not answer</translation>
    </message>
    <message>
        <source>the device refused it (wrong password)</source>
        <translation>the device refused it (wrong password)</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>not sent</translation>
    </message>
    <message>
        <source>it could not be read back</source>
        <translation>it could not be read back</translation>
    </message>
    <message>
        <source>%1 %2 instead of %3</source>
        <translation>%1 %2 instead of %3</translation>
    </message>
    <message>
        <source>the device reports %1</source>
        <translation>the device reports %1</translation>
    </message>
    <message>
        <source>%1 not confirmed: %2</source>
        <translation>%1 not confirmed: %2</translation>
    </message>
    <message>
        <source>%1 confirmed</source>
        <translation>%1 confirmed</translation>
    </message>
</context>
<context>
    <name>UploadLedger</name>
    <message>
        <source>Cihazın kabul ettiği kayıtlar: %1.</source>
        <translation>Records the device took: %1.</translation>
    </message>
    <message>
        <source>Cihaz hiçbir kaydı kabul etmedi.</source>
        <translation>The device took no record.</translation>
    </message>
    <message>
        <source>Şifre yanlış: cihaz %1 kaydını reddetti.</source>
        <translation>Wrong password: the device refused the %1 record.</translation>
    </message>
    <message>
        <source>%1 gönderilemedi: %2</source>
        <translation>%1 could not be sent: %2</translation>
    </message>
    <message>
        <source>%1 için cihazdan yanıt gelmedi; kabul edilip edilmediği bilinmiyor.</source>
        <translation>No answer from the device for %1; whether it was taken is not known.</translation>
    </message>
    <message>
        <source>%1 için cihazın yanıtı bekleniyor.</source>
        <translation>Waiting for the device to answer for %1.</translation>
    </message>
    <message>
        <source>Gönderilmeyen kayıtlar: %1.</source>
        <translation>Records not sent: %1.</translation>
    </message>
    <message>
        <source>Kanal İsimleri</source>
        <translation>Channel Names</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları</source>
        <translation>Channel Calibrations</translation>
    </message>
    <message>
        <source>Kurulum Bilgileri</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>Alarm Parametreleri</source>
        <translation>Alarm Parameters</translation>
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
        <translation>Lease expired: the station store cannot be reached</translation>
    </message>
    <message>
        <source>Lease lost: station now held by %1</source>
        <translation>Lease lost: station now held by %1</translation>
    </message>
    <message>
        <source>Visit dropped: the lease on the station expired</source>
        <translation>Visit dropped: the lease on the station expired</translation>
    </message>
    <message>
        <source>Visit dropped: station now held by %1</source>
        <translation>Visit dropped: station now held by %1</translation>
    </message>
    <message>
        <source>Collection stopped before the retry: %1</source>
        <translation>Collection stopped before the retry: %1</translation>
    </message>
    <message>
        <source>The station&apos;s file name cannot name a file: %1</source>
        <translation>The station&apos;s file name cannot name a file: %1</translation>
    </message>
    <message>
        <source>The station store does not answer: nothing was downloaded</source>
        <translation>The station store does not answer: nothing was downloaded</translation>
    </message>
    <message>
        <source>Nothing saved: the station store did not take the values (%1)</source>
        <translation>Nothing saved: the station store did not take the values (%1)</translation>
    </message>
    <message>
        <source>The values are stored, but the station store did not give them back for the data file %1; it is completed at the next visit</source>
        <translation>The values are stored, but the station store did not give them back for the data file %1; it is completed at the next visit</translation>
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
        <translation>the folder %1 could not be created</translation>
    </message>
    <message>
        <source>Database: %1
Reason: %2</source>
        <translation>Database: %1
Reason: %2</translation>
    </message>
</context>
</TS>
