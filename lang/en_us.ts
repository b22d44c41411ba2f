<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Actions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tools</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main Toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start Collecting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable Row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add New Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Update Station Data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manual Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Cell Value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Grafik</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Count: 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Active: 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Inactive: 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Incorrect: 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;b&gt;Count&lt;/b&gt;: %1&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;font  style=&apos;color:%1;&apos;&gt;&lt;b&gt;Active&lt;/b&gt; : %2&lt;/font&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;font  style=&apos;color:%1;&apos;&gt;&lt;b&gt;Inactive&lt;/b&gt; : %2&lt;/font&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;font  style=&apos;color:%1;&apos;&gt;&lt;b&gt;Error&lt;/b&gt; : %2&lt;/font&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy &quot;%1&quot; value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Column visibility</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This station will be removed from the list. Are you sure?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dizin Aç</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dosya mevcut değil!

%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dosya Hatası</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veri dosyası mevcut değil. Öncelikle cihazdan veri aldığınızdan emin olun!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure want to quit this application?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waiting for workers..</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationTableModel</name>
    <message>
        <source>#ID</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Title</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station Code</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Region</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Basin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station No</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Phone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connection Period</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last Connection Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Active</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Coordinate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E-Mail Notification</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E-Mail List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Directory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Text Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Excel Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Air Humudiry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Air Pressure</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Air Temperature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Direct Radiation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Electrical Conductivity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ETo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Evapotranspiration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Global Radiation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Leaf Wetness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Potential Hydrogen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Precipitation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sunshine Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Soil Moisture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Snow Depth</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Amount</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Flow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Level</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Temperature</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Water Capacity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wind Direction</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wind Speed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Doluluk Oranı</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Worker</name>
    <message>
        <source>Connecting..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading parameters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Success</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The station has no data directory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not save the data file %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Database Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not connect to database.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
