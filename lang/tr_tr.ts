<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="tr_TR">
<context>
    <name>CollectionPages</name>
    <message>
        <source>Minutes to wait before each new try after a failed visit, e.g. 2,5,15; empty: no retries.</source>
        <translation>Başarısız bir ziyaretten sonra her yeni denemeden önce beklenecek dakikalar, ör. 2,5,15; boş: yeniden deneme yok.</translation>
    </message>
    <message>
        <source>Retry after (minutes)</source>
        <translation>Yeniden deneme (dakika)</translation>
    </message>
    <message>
        <source> s</source>
        <translation> sn</translation>
    </message>
    <message>
        <source>Clock drift limit</source>
        <translation>Saat kayması sınırı</translation>
    </message>
    <message>
        <source>Set the device clock when it drifts further</source>
        <translation>Daha fazla kayarsa cihaz saatini ayarla</translation>
    </message>
    <message>
        <source>Device password</source>
        <translation>Cihaz parolası</translation>
    </message>
    <message>
        <source> days</source>
        <translation> gün</translation>
    </message>
    <message>
        <source>Warn when a device&apos;s memory will be full within this many days.</source>
        <translation>Cihaz belleği bu kadar gün içinde dolacaksa uyar.</translation>
    </message>
    <message>
        <source>Memory warning</source>
        <translation>Bellek uyarısı</translation>
    </message>
    <message>
        <source>Failed visits in a row before the alert mail goes out.</source>
        <translation>Uyarı e-postası gönderilmeden önce art arda başarısız ziyaret sayısı.</translation>
    </message>
    <message>
        <source>Alert after failed visits</source>
        <translation>Uyarı için başarısız ziyaret</translation>
    </message>
    <message>
        <source>empty: no mail</source>
        <translation>boş: e-posta yok</translation>
    </message>
    <message>
        <source>Mail server</source>
        <translation>E-posta sunucusu</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Yok</translation>
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
        <translation>Şifreleme</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Kullanıcı</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Parola</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>Gönderen</translation>
    </message>
    <message>
        <source>recipient of the test mail</source>
        <translation>deneme e-postasının alıcısı</translation>
    </message>
    <message>
        <source>Send a test mail</source>
        <translation>Deneme e-postası gönder</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Deneme</translation>
    </message>
    <message>
        <source>empty: the working folder&apos;s data/data.db</source>
        <translation>boş: çalışma klasörünün data/data.db dosyası</translation>
    </message>
    <message>
        <source>Database URL</source>
        <translation>Veritabanı adresi (URL)</translation>
    </message>
    <message>
        <source>sqlite:///path/data.db or postgresql://user@host:5432/name. The program uses a new database from its next start.</source>
        <translation>sqlite:///yol/data.db veya postgresql://kullanici@sunucu:5432/ad. Program yeni veritabanını bir sonraki açılışta kullanır.</translation>
    </message>
    <message>
        <source>stored; type to replace</source>
        <translation>kayıtlı; değiştirmek için yazın</translation>
    </message>
    <message>
        <source>Please type the retry minutes as positive numbers separated by commas!</source>
        <translation>Lütfen yeniden deneme dakikalarını virgülle ayrılmış pozitif sayılar olarak yazın!</translation>
    </message>
    <message>
        <source>Please type a correct mail server name!</source>
        <translation>Lütfen geçerli bir e-posta sunucusu adı yazın!</translation>
    </message>
    <message>
        <source>Please type a correct sender address!</source>
        <translation>Lütfen geçerli bir gönderen adresi yazın!</translation>
    </message>
    <message>
        <source>Please type a correct database URL! (%1)</source>
        <translation>Lütfen geçerli bir veritabanı adresi yazın! (%1)</translation>
    </message>
    <message>
        <source>No mail server is set.</source>
        <translation>E-posta sunucusu ayarlanmamış.</translation>
    </message>
    <message>
        <source>Please type a correct recipient address!</source>
        <translation>Lütfen geçerli bir alıcı adresi yazın!</translation>
    </message>
    <message>
        <source>Sending...</source>
        <translation>Gönderiliyor...</translation>
    </message>
    <message>
        <source>Test mail</source>
        <translation>Deneme e-postası</translation>
    </message>
    <message>
        <source>This test mail was sent from the settings of the data collector.</source>
        <translation>Bu deneme e-postası veri toplayıcının ayarlarından gönderildi.</translation>
    </message>
    <message>
        <source>The server took the test mail.</source>
        <translation>Sunucu deneme e-postasını kabul etti.</translation>
    </message>
    <message>
        <source>The server did not take the test mail: %1</source>
        <translation>Sunucu deneme e-postasını kabul etmedi: %1</translation>
    </message>
    <message>
        <source>The mail server %1 was not found: check its name.</source>
        <translation>%1 e-posta sunucusu bulunamadı: adını denetleyin.</translation>
    </message>
    <message>
        <source>The mail server %1 could not be reached: check its name, port and encryption (%2).</source>
        <translation>%1 e-posta sunucusuna ulaşılamadı: adını, portunu ve şifrelemeyi denetleyin (%2).</translation>
    </message>
    <message>
        <source>The mail server refused the user or password (%1).</source>
        <translation>E-posta sunucusu kullanıcıyı ya da şifreyi kabul etmedi (%1).</translation>
    </message>
    <message>
        <source>The encrypted connection to %1 failed: check the encryption and port (%2).</source>
        <translation>%1 ile şifreli bağlantı kurulamadı: şifrelemeyi ve portu denetleyin (%2).</translation>
    </message>
    <message>
        <source>Not sent: the password would go unencrypted. Choose STARTTLS or TLS as the encryption, or leave the user empty.</source>
        <translation>Gönderilmedi: şifre şifrelenmeden gidecekti. Şifreleme olarak STARTTLS ya da TLS seçin veya kullanıcıyı boş bırakın.</translation>
    </message>
</context>
<context>
    <name>ConfigChange</name>
    <message>
        <source>(none)</source>
        <translation>(yok)</translation>
    </message>
    <message>
        <source>Station name</source>
        <translation>İstasyon adı</translation>
    </message>
    <message>
        <source>Station code</source>
        <translation>İstasyon kodu</translation>
    </message>
    <message>
        <source>Start of day</source>
        <translation>Gün başlangıcı</translation>
    </message>
    <message>
        <source>Alarm %1 maximum</source>
        <translation>Alarm %1 maksimum</translation>
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
        <translation>Kanal %1 adı</translation>
    </message>
    <message>
        <source>Channel %1 state</source>
        <translation>Kanal %1 durumu</translation>
    </message>
    <message>
        <source>Channel %1 unit</source>
        <translation>Kanal %1 birimi</translation>
    </message>
    <message>
        <source>Channel %1 %2</source>
        <translation>Kanal %1 %2</translation>
    </message>
</context>
<context>
    <name>ConfigHistoryDialog</name>
    <message>
        <source>Configuration History: %1</source>
        <translation>Yapılandırma Geçmişi: %1</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zaman</translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Kaynak</translation>
    </message>
    <message>
        <source>Actor</source>
        <translation>Yapan</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Değişiklik</translation>
    </message>
    <message>
        <source>Changed at the station</source>
        <translation>İstasyonda değiştirildi</translation>
    </message>
    <message>
        <source>First configuration read</source>
        <translation>İlk okunan yapılandırma</translation>
    </message>
    <message>
        <source>No change</source>
        <translation>Değişiklik yok</translation>
    </message>
    <message>
        <source>Configuration History...</source>
        <translation>Yapılandırma Geçmişi...</translation>
    </message>
</context>
<context>
    <name>Connection</name>
    <message>
        <source>Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>Bir TCP Soket bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</translation>
    </message>
    <message>
        <source>Bir seri port bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>Bir seri port bağlantısı zaten var. Önce diğer bağlantıyı kesmelisiniz.</translation>
    </message>
    <message>
        <source>Seri port bağlı değil. Önce bağlantı kurmalısınız.</source>
        <translation>Seri port bağlı değil. Önce bağlantı kurmalısınız.</translation>
    </message>
    <message>
        <source>Seri port bağlantısı zaten kullanılıyor. Önce diğer bağlantıyı kesmelisiniz.</source>
        <translation>Seri port bağlantısı zaten kullanılıyor. Önce diğer bağlantıyı kesmelisiniz.</translation>
    </message>
    <message>
        <source>TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız.</source>
        <translation>TCP Soket bağlantısı açık değil. Önce bağlantıyı kurmalısınız.</translation>
    </message>
    <message>
        <source>Geçerli bir bağlantı yok!</source>
        <translation>Geçerli bir bağlantı yok!</translation>
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
        <translation>Görüntü kodlanamadı.</translation>
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
    <message>
        <source>High alarm %1 (clears below %2)</source>
        <translation>Yüksek alarm %1 (%2 altında biter)</translation>
    </message>
    <message>
        <source>High alarm clears below %1</source>
        <translation>Yüksek alarm %1 altında biter</translation>
    </message>
    <message>
        <source>Low alarm %1 (clears above %2)</source>
        <translation>Düşük alarm %1 (%2 üstünde biter)</translation>
    </message>
    <message>
        <source>Low alarm clears above %1</source>
        <translation>Düşük alarm %1 üstünde biter</translation>
    </message>
    <message>
        <source>Suspect</source>
        <translation>Şüpheli</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Geçersiz</translation>
    </message>
</context>
<context>
    <name>EditStationDialog</name>
    <message>
        <source>New Station</source>
        <translation>Yeni İstasyon</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>İstasyon</translation>
    </message>
    <message>
        <source>Station Information</source>
        <translation>İstasyon Bilgileri</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Cihaz Tipi</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Başlık</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Ad</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Kod</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Bölge</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Havza</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Read From Station</source>
        <translation>İstasyondan Oku</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Bağlantı</translation>
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
        <translation>Bağlantı Periyodu</translation>
    </message>
    <message>
        <source> minute</source>
        <translation> dakika</translation>
    </message>
    <message>
        <source>Phone Number</source>
        <translation>Telefon Numarası</translation>
    </message>
    <message>
        <source>Coordinates</source>
        <translation>Koordinatlar</translation>
    </message>
    <message>
        <source>Latitude</source>
        <translation>Enlem</translation>
    </message>
    <message>
        <source>Longitude</source>
        <translation>Boylam</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Veri İndir</translation>
    </message>
    <message>
        <source>File Settings</source>
        <translation>Dosya Ayarları</translation>
    </message>
    <message>
        <source>Save at</source>
        <translation>Kayıt Yeri</translation>
    </message>
    <message>
        <source>Select Directory</source>
        <translation>Dizin Seç</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dosya Adı</translation>
    </message>
    <message>
        <source>Export to text</source>
        <translation>Metin dosyasına aktar</translation>
    </message>
    <message>
        <source>Export to Excel</source>
        <translation>Excel&apos;e aktar</translation>
    </message>
    <message>
        <source>E-Mail</source>
        <translation>E-Posta</translation>
    </message>
    <message>
        <source>E-Mail Notifications</source>
        <translation>E-Posta Bildirimleri</translation>
    </message>
    <message>
        <source>Activate e-mail notifications</source>
        <translation>E-posta bildirimlerini etkinleştir</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ekle</translation>
    </message>
    <message>
        <source>Add an e-mail address</source>
        <translation>E-posta adresi ekle</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Kaldır</translation>
    </message>
    <message>
        <source>Remove the selected e-mail address</source>
        <translation>Seçili e-posta adresini kaldır</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Kaydet</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Edit Station</source>
        <translation>İstasyonu Düzenle</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Hata</translation>
    </message>
    <message>
        <source>Wrong Host</source>
        <translation>Hatalı Adres</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Lütfen geçerli bir IP/sunucu adresi yazın!</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Lütfen geçerli bir port numarası yazın!</translation>
    </message>
    <message>
        <source>E-Mail Error</source>
        <translation>E-Posta Hatası</translation>
    </message>
    <message>
        <source>Remove E-Mail</source>
        <translation>E-Postayı Kaldır</translation>
    </message>
    <message>
        <source>E-Mail address &quot;%1&quot; will be removed! Are you sure?</source>
        <translation>&quot;%1&quot; e-posta adresi kaldırılacak! Emin misiniz?</translation>
    </message>
    <message>
        <source>Please select a correct device type!</source>
        <translation>Lütfen geçerli bir cihaz tipi seçin!</translation>
    </message>
    <message>
        <source>Please type a correct name!</source>
        <translation>Lütfen geçerli bir ad yazın!</translation>
    </message>
    <message>
        <source>Please type a correct station code!</source>
        <translation>Lütfen geçerli bir istasyon kodu yazın!</translation>
    </message>
    <message>
        <source>Please select a correct time value for connection parameters!</source>
        <translation>Lütfen bağlantı için geçerli bir süre seçin!</translation>
    </message>
    <message>
        <source>Please type a correct path!</source>
        <translation>Lütfen geçerli bir dizin yazın!</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a valid e-mail address!</source>
        <translation>&quot;%1&quot; geçerli bir e-posta adresi değil!</translation>
    </message>
    <message>
        <source>E-Mail address &quot;%1&quot; is already exists in this list!</source>
        <translation>&quot;%1&quot; e-posta adresi bu listede zaten var!</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dosyalar</translation>
    </message>
    <message>
        <source>Save Station</source>
        <translation>İstasyonu Kaydet</translation>
    </message>
    <message>
        <source>The station was not saved: the database refused it.

%1</source>
        <translation>İstasyon kaydedilmedi: veritabanı reddetti.

%1</translation>
    </message>
</context>
<context>
    <name>FileReveal</name>
    <message>
        <source>No program to show folders could be started.</source>
        <translation>Klasörleri gösterecek bir program başlatılamadı.</translation>
    </message>
</context>
<context>
    <name>IdentityRead</name>
    <message>
        <source>Read From Device</source>
        <translation>Cihazdan Oku</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Connecting to station..</source>
        <translation>İstasyona bağlanılıyor..</translation>
    </message>
    <message>
        <source>Reading device identity..</source>
        <translation>Cihaz kimliği okunuyor..</translation>
    </message>
    <message>
        <source>Socket Error</source>
        <translation>Soket Hatası</translation>
    </message>
    <message>
        <source>Nexil Error</source>
        <translation>Nexil Hatası</translation>
    </message>
    <message>
        <source>No answer from %1:%2 within %3 s.</source>
        <translation>%1:%2 adresinden %3 sn içinde yanıt gelmedi.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>Ana Pencere</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>İşlemler</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Araçlar</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Yardım</translation>
    </message>
    <message>
        <source>Main Toolbar</source>
        <translation>Ana Araç Çubuğu</translation>
    </message>
    <message>
        <source>Start Collecting</source>
        <translation>Toplamayı Başlat</translation>
    </message>
    <message>
        <source>Enable Row</source>
        <translation>Satırı Etkinleştir</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Etkinleştir</translation>
    </message>
    <message>
        <source>Add New Station</source>
        <translation>Yeni İstasyon Ekle</translation>
    </message>
    <message>
        <source>Edit Station</source>
        <translation>İstasyonu Düzenle</translation>
    </message>
    <message>
        <source>Delete Station</source>
        <translation>İstasyonu Sil</translation>
    </message>
    <message>
        <source>Update Station Data</source>
        <translation>İstasyon Verisini Güncelle</translation>
    </message>
    <message>
        <source>Manual Connect</source>
        <translation>Elle Bağlan</translation>
    </message>
    <message>
        <source>Copy Cell Value</source>
        <translation>Hücre Değerini Kopyala</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Çıkış</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Ayarlar</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Dizini Aç</translation>
    </message>
    <message>
        <source>Grafik</source>
        <translation>Grafik</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Hakkında</translation>
    </message>
    <message>
        <source>Count: 0</source>
        <translation>Toplam: 0</translation>
    </message>
    <message>
        <source>Active: 0</source>
        <translation>Aktif: 0</translation>
    </message>
    <message>
        <source>Inactive: 0</source>
        <translation>Pasif: 0</translation>
    </message>
    <message>
        <source>Incorrect: 0</source>
        <translation>Hatalı: 0</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;b&gt;Count&lt;/b&gt;: %1&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;b&gt;Toplam&lt;/b&gt;: %1&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>Devre Dışı Bırak</translation>
    </message>
    <message>
        <source>Copy &quot;%1&quot; value</source>
        <translation>&quot;%1&quot; değerini kopyala</translation>
    </message>
    <message>
        <source>Column visibility</source>
        <translation>Sütun görünürlüğü</translation>
    </message>
    <message>
        <source>This station will be removed from the list. Are you sure?</source>
        <translation>Bu istasyon listeden kaldırılacak. Emin misiniz?</translation>
    </message>
    <message>
        <source>Remove Station</source>
        <translation>İstasyonu Kaldır</translation>
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
        <translation>Uygulamadan çıkmak istediğinize emin misiniz?</translation>
    </message>
    <message>
        <source>Waiting for workers..</source>
        <translation>Toplayıcıların durması bekleniyor..</translation>
    </message>
    <message>
        <source>Station %1 is held by the collector %2, which visits it. It is not visited from here.</source>
        <translation>%1 istasyonu %2 toplayıcısında; onu o ziyaret ediyor. Buradan ziyaret edilmiyor.</translation>
    </message>
    <message>
        <source>The folder could not be shown.

%1
%2</source>
        <translation>Klasör gösterilemedi.

%1
%2</translation>
    </message>
    <message>
        <source>Show all stations</source>
        <translation>Tüm istasyonları göster</translation>
    </message>
    <message>
        <source>Show only the inactive stations</source>
        <translation>Yalnızca pasif istasyonları göster</translation>
    </message>
    <message>
        <source>Show only the failing stations</source>
        <translation>Yalnızca hatalı istasyonları göster</translation>
    </message>
    <message>
        <source>Filter by code, title or status</source>
        <translation>Kod, başlık veya duruma göre süz</translation>
    </message>
    <message>
        <source>All stations</source>
        <translation>Tüm istasyonlar</translation>
    </message>
    <message>
        <source>Only failing</source>
        <translation>Yalnızca hatalılar</translation>
    </message>
    <message>
        <source>Only inactive</source>
        <translation>Yalnızca pasifler</translation>
    </message>
    <message>
        <source>%1

The database said: %2</source>
        <translation>%1

Veritabanının yanıtı: %2</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Active&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Aktif&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Inactive&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Pasif&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Error&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Hatalı&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Station %1 was not removed: the database refused it.</source>
        <translation>%1 istasyonu kaldırılmadı: veritabanı reddetti.</translation>
    </message>
    <message>
        <source>Station %1 was not changed: the database refused it.</source>
        <translation>%1 istasyonu değiştirilmedi: veritabanı reddetti.</translation>
    </message>
    <message>
        <source>Pause Collecting</source>
        <translation>Toplamayı Duraklat</translation>
    </message>
    <message>
        <source>Clock: 0</source>
        <translation>Saat: 0</translation>
    </message>
    <message>
        <source>Show only the stations whose device clock is off beyond the limit</source>
        <translation>Yalnızca cihaz saati sınırdan fazla sapan istasyonları göster</translation>
    </message>
    <message>
        <source>Only clock warnings</source>
        <translation>Yalnızca saat uyarıları</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Clock&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;body&gt;&lt;span style=&apos;color:%1;background-color:%2;&apos;&gt;&amp;nbsp;&lt;b&gt;Saat&lt;/b&gt; : %3&amp;nbsp;&lt;/span&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Alarm: 0</source>
        <translation>Alarm: 0</translation>
    </message>
    <message>
        <source>Show only the stations with a value alarm</source>
        <translation>Yalnızca değer alarmı olan istasyonları göster</translation>
    </message>
    <message>
        <source>Only value alarms</source>
        <translation>Yalnızca değer alarmları</translation>
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
        <translation>Elle Bağlantı</translation>
    </message>
    <message>
        <source>Connection Type</source>
        <translation>Bağlantı Tipi</translation>
    </message>
    <message>
        <source>Serial Port</source>
        <translation>Seri Port</translation>
    </message>
    <message>
        <source>TCP/IP</source>
        <translation>TCP/IP</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Bağlantı</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Baudrate</source>
        <translation>Baud Hızı</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Bağlan</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>Choose a connection type.</source>
        <translation>Bir bağlantı tipi seçin.</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Komutlar</translation>
    </message>
    <message>
        <source>Read Parameters</source>
        <translation>Parametreleri Oku</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Veri İndir</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>Kurulum</translation>
    </message>
    <message>
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dosyalar</translation>
    </message>
    <message>
        <source>Station</source>
        <translation>İstasyon</translation>
    </message>
    <message>
        <source>Station Name</source>
        <translation>İstasyon Adı</translation>
    </message>
    <message>
        <source>Station Code</source>
        <translation>İstasyon Kodu</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Bölge</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Havza</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Setup Date</source>
        <translation>Kurulum Tarihi</translation>
    </message>
    <message>
        <source>Device Date</source>
        <translation>Cihaz Tarihi</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Cihaz</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Cihaz Tipi</translation>
    </message>
    <message>
        <source>Serial No</source>
        <translation>Seri No</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Yazılım Sürümü</translation>
    </message>
    <message>
        <source>Battery</source>
        <translation>Batarya</translation>
    </message>
    <message>
        <source>Memory</source>
        <translation>Hafıza</translation>
    </message>
    <message>
        <source>Instant Values</source>
        <translation>Anlık Değerler</translation>
    </message>
    <message>
        <source>Maximum Values</source>
        <translation>Maksimum Değerler</translation>
    </message>
    <message>
        <source>Minimum Values</source>
        <translation>Minimum Değerler</translation>
    </message>
    <message>
        <source>Alarms</source>
        <translation>Alarmlar</translation>
    </message>
    <message>
        <source>Channel Name</source>
        <translation>Kanal Adı</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Zaman</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tip</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Değer</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Bağlantıyı Kes</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Hata</translation>
    </message>
    <message>
        <source>Host Error</source>
        <translation>Sunucu Hatası</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Lütfen geçerli bir IP/sunucu adresi yazın!</translation>
    </message>
    <message>
        <source>Port Error</source>
        <translation>Port Hatası</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Lütfen geçerli bir port numarası yazın!</translation>
    </message>
    <message>
        <source>%1 V</source>
        <translation>%1 V</translation>
    </message>
    <message>
        <source>%1 (%2 bytes)</source>
        <translation>%1 (%2 bayt)</translation>
    </message>
    <message>
        <source>Download Progress</source>
        <translation>İndirme Durumu</translation>
    </message>
    <message>
        <source>Downloading %1 packages.</source>
        <translation>%1 paket indiriliyor.</translation>
    </message>
    <message>
        <source>Downloading %1/%2</source>
        <translation>İndiriliyor %1/%2</translation>
    </message>
    <message>
        <source>Saving files..</source>
        <translation>Dosyalar kaydediliyor..</translation>
    </message>
    <message>
        <source>Operation Failed!</source>
        <translation>İşlem Başarısız!</translation>
    </message>
    <message>
        <source>Could not save the data file %1</source>
        <translation>%1 veri dosyası kaydedilemedi</translation>
    </message>
    <message>
        <source>The device took part of the setup.</source>
        <translation>Cihaz kurulumun bir kısmını kabul etti.</translation>
    </message>
</context>
<context>
    <name>Nexil</name>
    <message>
        <source>Gönderilecek kayıt eksik: %1</source>
        <translation>Gönderilecek kayıt eksik: %1</translation>
    </message>
    <message>
        <source>Checksum hatası.</source>
        <translation>Checksum hatası.</translation>
    </message>
    <message>
        <source>Bilinmeyen Cihaz</source>
        <translation>Bilinmeyen Cihaz</translation>
    </message>
    <message>
        <source>Çok Kanallı Datalogger</source>
        <translation>Çok Kanallı Datalogger</translation>
    </message>
    <message>
        <source>Açık Kanal Debimetre</source>
        <translation>Açık Kanal Debimetre</translation>
    </message>
    <message>
        <source>Kapalı Boru Debimetre</source>
        <translation>Kapalı Boru Debimetre</translation>
    </message>
    <message>
        <source>Basınç Sensörlü Seviye ve Sıcaklık Kaydedici</source>
        <translation>Basınç Sensörlü Seviye ve Sıcaklık Kaydedici</translation>
    </message>
    <message>
        <source>Radar Sensörlü Seviye Kaydedici</source>
        <translation>Radar Sensörlü Seviye Kaydedici</translation>
    </message>
    <message>
        <source>Manyetik Enkoderli Şamandralı Seviye Kaydedici</source>
        <translation>Manyetik Enkoderli Şamandralı Seviye Kaydedici</translation>
    </message>
    <message>
        <source>Tek Kanallı Datalogger</source>
        <translation>Tek Kanallı Datalogger</translation>
    </message>
    <message>
        <source>Bilinmeyen</source>
        <translation>Bilinmeyen</translation>
    </message>
    <message>
        <source>Hava Nemi</source>
        <translation>Hava Nemi</translation>
    </message>
    <message>
        <source>Hava Basinci</source>
        <translation>Hava Basinci</translation>
    </message>
    <message>
        <source>Hava Sicakligi</source>
        <translation>Hava Sicakligi</translation>
    </message>
    <message>
        <source>Direkt Radyasyon</source>
        <translation>Direkt Radyasyon</translation>
    </message>
    <message>
        <source>Elektriksel Iletkenlik</source>
        <translation>Elektriksel Iletkenlik</translation>
    </message>
    <message>
        <source>Buharlasma (Hesaplanmis)</source>
        <translation>Buharlasma (Hesaplanmis)</translation>
    </message>
    <message>
        <source>Buharlasma (Olculmus)</source>
        <translation>Buharlasma (Olculmus)</translation>
    </message>
    <message>
        <source>Global Radyasyon</source>
        <translation>Global Radyasyon</translation>
    </message>
    <message>
        <source>Yaprak Nemi</source>
        <translation>Yaprak Nemi</translation>
    </message>
    <message>
        <source>Hidrojen Gucu</source>
        <translation>Hidrojen Gucu</translation>
    </message>
    <message>
        <source>Yagis</source>
        <translation>Yagis</translation>
    </message>
    <message>
        <source>Guneslenme Suresi</source>
        <translation>Guneslenme Suresi</translation>
    </message>
    <message>
        <source>Toprak Nemi</source>
        <translation>Toprak Nemi</translation>
    </message>
    <message>
        <source>Kar Seviyesi</source>
        <translation>Kar Seviyesi</translation>
    </message>
    <message>
        <source>Su Miktari</source>
        <translation>Su Miktari</translation>
    </message>
    <message>
        <source>Su Debisi</source>
        <translation>Su Debisi</translation>
    </message>
    <message>
        <source>Su Seviyesi</source>
        <translation>Su Seviyesi</translation>
    </message>
    <message>
        <source>Su Hizi</source>
        <translation>Su Hizi</translation>
    </message>
    <message>
        <source>Su Sicakligi</source>
        <translation>Su Sicakligi</translation>
    </message>
    <message>
        <source>Su Hacmi</source>
        <translation>Su Hacmi</translation>
    </message>
    <message>
        <source>Ruzgar Yonu</source>
        <translation>Ruzgar Yonu</translation>
    </message>
    <message>
        <source>Ruzgar Hizi</source>
        <translation>Ruzgar Hizi</translation>
    </message>
    <message>
        <source>Baraj Doluluk Oranı</source>
        <translation>Baraj Doluluk Oranı</translation>
    </message>
    <message>
        <source>Besleme Voltajı</source>
        <translation>Besleme Voltajı</translation>
    </message>
    <message>
        <source>Cihaz meşgul.</source>
        <translation>Cihaz meşgul.</translation>
    </message>
    <message>
        <source>Cihaz Meşgul.</source>
        <translation>Cihaz Meşgul.</translation>
    </message>
    <message>
        <source>İndirme işlemi kesildi.</source>
        <translation>İndirme işlemi kesildi.</translation>
    </message>
    <message>
        <source>Cihaz gönderilen kaydı kabul etmedi.</source>
        <translation>Cihaz gönderilen kaydı kabul etmedi.</translation>
    </message>
    <message>
        <source>İşlem zaman aşımı.</source>
        <translation>İşlem zaman aşımı.</translation>
    </message>
    <message>
        <source>Bilinmeyen cevap.</source>
        <translation>Bilinmeyen cevap.</translation>
    </message>
    <message>
        <source>Desteklenmeyen firmware sürümü.</source>
        <translation>Desteklenmeyen firmware sürümü.</translation>
    </message>
    <message>
        <source>Bilinmeyen cihaz.</source>
        <translation>Bilinmeyen cihaz.</translation>
    </message>
    <message>
        <source>Tanımlanamayan veri.</source>
        <translation>Tanımlanamayan veri.</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>Settings</source>
        <translation>Ayarlar</translation>
    </message>
    <message>
        <source>Look and Feel</source>
        <translation>Görünüm</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Dosya</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Dil</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>Tema</translation>
    </message>
    <message>
        <source>Style</source>
        <translation>Stil</translation>
    </message>
    <message>
        <source>StyleSheet</source>
        <translation>Stil Sayfası</translation>
    </message>
    <message>
        <source>Font</source>
        <translation>Yazı Tipi</translation>
    </message>
    <message>
        <source>Family</source>
        <translation>Aile</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Boyut</translation>
    </message>
    <message>
        <source>Sample Text</source>
        <translation>Örnek Metin</translation>
    </message>
    <message>
        <source>Save at</source>
        <translation>Kayıt Yeri</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Select Directory</source>
        <translation>Dizin Seç</translation>
    </message>
    <message>
        <source>Automatically export to Text file.</source>
        <translation>Otomatik olarak metin dosyasına aktar.</translation>
    </message>
    <message>
        <source>Automatically export to Excel file.</source>
        <translation>Otomatik olarak Excel dosyasına aktar.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Tamam</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Uygula</translation>
    </message>
    <message>
        <source>Collection</source>
        <translation>Toplama</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>E-posta</translation>
    </message>
    <message>
        <source>Station Store</source>
        <translation>İstasyon Deposu</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Hata</translation>
    </message>
    <message>
        <source>The settings could not be written to %1.</source>
        <translation>Ayarlar %1 dosyasına yazılamadı.</translation>
    </message>
    <message>
        <source>A new language is used from the next start of the program.</source>
        <translation>Yeni dil, programın bir sonraki açılışından itibaren kullanılır.</translation>
    </message>
</context>
<context>
    <name>SetupDialog</name>
    <message>
        <source>Kurulum parametreleri okunuyor
Lütfen bekleyin..</source>
        <translation>Kurulum parametreleri okunuyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Kanal isimleri okunuyor
Lütfen bekleyin..</source>
        <translation>Kanal isimleri okunuyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Kanal kalibrasyonları okunuyor
Lütfen bekleyin..</source>
        <translation>Kanal kalibrasyonları okunuyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Alarm parametreleri okunuyor
Lütfen bekleyin..</source>
        <translation>Alarm parametreleri okunuyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Hata</source>
        <translation>Hata</translation>
    </message>
    <message>
        <source>Nothing differs from what was read from the device.</source>
        <translation>Cihazdan okunandan farklı bir şey yok.</translation>
    </message>
    <message>
        <source>Changes against what was read from the device:
%1</source>
        <translation>Cihazdan okunana göre değişiklikler:
%1</translation>
    </message>
    <message>
        <source>Gönder</source>
        <translation>Gönder</translation>
    </message>
    <message>
        <source>Yes sends the changed records, Yes to All sends every record, No sends nothing.</source>
        <translation>Evet değişen kayıtları, Tümüne Evet bütün kayıtları gönderir, Hayır hiçbir şey göndermez.</translation>
    </message>
    <message>
        <source>Nothing was sent: no record differs from the device&apos;s.</source>
        <translation>Hiçbir şey gönderilmedi: hiçbir kayıt cihazdakinden farklı değil.</translation>
    </message>
    <message>
        <source>Reading back what the device took
Lütfen bekleyin..</source>
        <translation>Cihazın kabul ettikleri geri okunuyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Kurulum Sihirbazı</source>
        <translation>Kurulum Sihirbazı</translation>
    </message>
    <message>
        <source>Kayıt için tam saati bekle</source>
        <translation>Kayıt için tam saati bekle</translation>
    </message>
    <message>
        <source>RS-485 çıkış</source>
        <translation>RS-485 çıkış</translation>
    </message>
    <message>
        <source>Eski kurulumları sakla</source>
        <translation>Eski kurulumları sakla</translation>
    </message>
    <message>
        <source>Cihaz Tipi</source>
        <translation>Cihaz Tipi</translation>
    </message>
    <message>
        <source>Seri No</source>
        <translation>Seri No</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>İstasyon Adı</source>
        <translation>İstasyon Adı</translation>
    </message>
    <message>
        <source>İstasyon Kodu</source>
        <translation>İstasyon Kodu</translation>
    </message>
    <message>
        <source>Bölge</source>
        <translation>Bölge</translation>
    </message>
    <message>
        <source>Havza</source>
        <translation>Havza</translation>
    </message>
    <message>
        <source>İstasyon No</source>
        <translation>İstasyon No</translation>
    </message>
    <message>
        <source>Sensör Açma/Kapama Süresi</source>
        <translation>Sensör Açma/Kapama Süresi</translation>
    </message>
    <message>
        <source>Sensör Bekleme Süresi</source>
        <translation>Sensör Bekleme Süresi</translation>
    </message>
    <message>
        <source>Gün Başlangıcı</source>
        <translation>Gün Başlangıcı</translation>
    </message>
    <message>
        <source>Durum</source>
        <translation>Durum</translation>
    </message>
    <message>
        <source>Kanal Adı</source>
        <translation>Kanal Adı</translation>
    </message>
    <message>
        <source>Kanal Ölçüm Tipi</source>
        <translation>Kanal Ölçüm Tipi</translation>
    </message>
    <message>
        <source>Kayıt Aralığı</source>
        <translation>Kayıt Aralığı</translation>
    </message>
    <message>
        <source>Min/Max Tipi</source>
        <translation>Min/Max Tipi</translation>
    </message>
    <message>
        <source>Kayıt Tipi</source>
        <translation>Kayıt Tipi</translation>
    </message>
    <message>
        <source>Birim</source>
        <translation>Birim</translation>
    </message>
    <message>
        <source>Ofset</source>
        <translation>Ofset</translation>
    </message>
    <message>
        <source>Max Değer</source>
        <translation>Max Değer</translation>
    </message>
    <message>
        <source>Min Değer</source>
        <translation>Min Değer</translation>
    </message>
    <message>
        <source>Ölçüm Tipi</source>
        <translation>Ölçüm Tipi</translation>
    </message>
    <message>
        <source>Kazanç</source>
        <translation>Kazanç</translation>
    </message>
    <message>
        <source>Çarpan</source>
        <translation>Çarpan</translation>
    </message>
    <message>
        <source>Min Voltaj</source>
        <translation>Min Voltaj</translation>
    </message>
    <message>
        <source>Alarm</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>Maksimum</source>
        <translation>Maksimum</translation>
    </message>
    <message>
        <source>Maksimum Reset</source>
        <translation>Maksimum Reset</translation>
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
        <translation>Şifre</translation>
    </message>
    <message>
        <source>Yalnızca Kanal Kalibrasyonlarını Gönder</source>
        <translation>Yalnızca Kanal Kalibrasyonlarını Gönder</translation>
    </message>
    <message>
        <source>Yalnızca Alarm Parametrelerini Gönder</source>
        <translation>Yalnızca Alarm Parametrelerini Gönder</translation>
    </message>
    <message>
        <source>Tüm Kurulum Bilgilerini Gönder</source>
        <translation>Tüm Kurulum Bilgilerini Gönder</translation>
    </message>
    <message>
        <source>İptal</source>
        <translation>İptal</translation>
    </message>
    <message>
        <source>&lt; Geri</source>
        <translation>&lt; Geri</translation>
    </message>
    <message>
        <source>İleri &gt;</source>
        <translation>İleri &gt;</translation>
    </message>
    <message>
        <source>Pasif</source>
        <translation>Pasif</translation>
    </message>
    <message>
        <source>Aktif</source>
        <translation>Aktif</translation>
    </message>
    <message>
        <source>Anlık</source>
        <translation>Anlık</translation>
    </message>
    <message>
        <source>Kayıt</source>
        <translation>Kayıt</translation>
    </message>
    <message>
        <source>Ortalama</source>
        <translation>Ortalama</translation>
    </message>
    <message>
        <source>Bazı sensörlerin kalibrasyonunda yer alan katsayı değeri.</source>
        <translation>Bazı sensörlerin kalibrasyonunda yer alan katsayı değeri.</translation>
    </message>
    <message>
        <source>Eşel değeri</source>
        <translation>Eşel değeri</translation>
    </message>
    <message>
        <source>Maksimum eşel değeri</source>
        <translation>Maksimum eşel değeri</translation>
    </message>
    <message>
        <source>Minimum eşel değeri (Varsayılan: 0)</source>
        <translation>Minimum eşel değeri (Varsayılan: 0)</translation>
    </message>
    <message>
        <source>Baraj</source>
        <translation>Baraj</translation>
    </message>
    <message>
        <source>Kuyu</source>
        <translation>Kuyu</translation>
    </message>
    <message>
        <source>Parametre Okuma</source>
        <translation>Parametre Okuma</translation>
    </message>
    <message>
        <source>Kurulum Parametreleri</source>
        <translation>Kurulum Parametreleri</translation>
    </message>
    <message>
        <source>Kanal İsimleri</source>
        <translation>Kanal İsimleri</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları</source>
        <translation>Kanal Kalibrasyonları</translation>
    </message>
    <message>
        <source>Alarm Ayarları</source>
        <translation>Alarm Ayarları</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir istasyon adı girin!</source>
        <translation>Lütfen geçerli bir istasyon adı girin!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir kanal ismi girin!</source>
        <translation>Lütfen geçerli bir kanal ismi girin!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir ölçüm tipi seçin!</source>
        <translation>Lütfen geçerli bir ölçüm tipi seçin!</translation>
    </message>
    <message>
        <source>Lütfen geçerli bir birim seçin!</source>
        <translation>Lütfen geçerli bir birim seçin!</translation>
    </message>
    <message>
        <source>Lütfen 0 ile 9 arasında bir çarpan girin!</source>
        <translation>Lütfen 0 ile 9 arasında bir çarpan girin!</translation>
    </message>
    <message>
        <source>Kanal İsimleri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Kanal İsimleri Gönderiliyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Kanal Kalibrasyonları Gönderiliyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Kurulum Bilgileri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Kurulum Bilgileri Gönderiliyor
Lütfen bekleyin..</translation>
    </message>
    <message>
        <source>Alarm Parametreleri Gönderiliyor
Lütfen bekleyin..</source>
        <translation>Alarm Parametreleri Gönderiliyor
Lütfen bekleyin..</translation>
    </message>
</context>
<context>
    <name>StationMonitor</name>
    <message>
        <source>Memory may overwrite unread data on %1</source>
        <translation>Bellek, okunmamış verilerin üzerine %1 tarihinde yazabilir</translation>
    </message>
    <message>
        <source>Configuration changed at the station: %1</source>
        <translation>Yapılandırma istasyonda değiştirildi: %1</translation>
    </message>
</context>
<context>
    <name>StationRules</name>
    <message>
        <source>The station code is empty.</source>
        <translation>İstasyon kodu boş.</translation>
    </message>
    <message>
        <source>The station code is longer than %1 characters.</source>
        <translation>İstasyon kodu %1 karakterden uzun.</translation>
    </message>
    <message>
        <source>The station code &quot;%1&quot; cannot name a folder or a file: it may not hold / \ : * ? &quot; &lt; &gt; | , or control characters, nor start or end with a dot or a blank.</source>
        <translation>&quot;%1&quot; istasyon kodu bir klasör ya da dosya adı olamaz: / \ : * ? &quot; &lt; &gt; | , ya da denetim karakterleri içeremez, nokta ya da boşlukla başlayıp bitemez.</translation>
    </message>
    <message>
        <source>The station code %1 is already used by station %2 (%3).</source>
        <translation>%1 istasyon kodunu %2 numaralı istasyon (%3) zaten kullanıyor.</translation>
    </message>
    <message>
        <source>Please type a correct IP/Host address!</source>
        <translation>Lütfen doğru bir IP/sunucu adresi yazın!</translation>
    </message>
    <message>
        <source>%1 is not an IPv4 address (four numbers from 0 to 255).</source>
        <translation>%1 bir IPv4 adresi değil (0 ile 255 arasında dört sayı).</translation>
    </message>
    <message>
        <source>%1 is not a host name (letters, digits, &apos;-&apos; and &apos;.&apos;).</source>
        <translation>%1 bir sunucu adı değil (harfler, rakamlar, &apos;-&apos; ve &apos;.&apos;).</translation>
    </message>
    <message>
        <source>Please type a correct port number!</source>
        <translation>Lütfen doğru bir port numarası yazın!</translation>
    </message>
    <message>
        <source>%1 is not an IPv6 address.</source>
        <translation>%1 bir IPv6 adresi değil.</translation>
    </message>
</context>
<context>
    <name>StationStats</name>
    <message>
        <source>Visits: %1, succeeded %2, failed %3, retries %4</source>
        <translation>Ziyaret: %1, başarılı %2, başarısız %3, yeniden deneme %4</translation>
    </message>
    <message>
        <source>Last success: %1</source>
        <translation>Son başarılı ziyaret: %1</translation>
    </message>
    <message>
        <source>never</source>
        <translation>hiç</translation>
    </message>
    <message>
        <source>Clock drift: %1 s</source>
        <translation>Saat farkı: %1 sn</translation>
    </message>
    <message>
        <source> (beyond the limit)</source>
        <translation> (sınırın üzerinde)</translation>
    </message>
    <message>
        <source>Memory full: %1, unread data overwritten: %2</source>
        <translation>Bellek dolu: %1, okunmamış verinin üzerine yazılma: %2</translation>
    </message>
    <message>
        <source>Completeness unknown: %1</source>
        <translation>Tamlık bilinmiyor: %1</translation>
    </message>
</context>
<context>
    <name>StationStatus</name>
    <message>
        <source>Download completed.</source>
        <translation>İndirme tamamlandı.</translation>
    </message>
    <message>
        <source>Saving files..</source>
        <translation>Dosyalar kaydediliyor..</translation>
    </message>
    <message>
        <source>Downloading packages (Total: %1)</source>
        <translation>Paketler indiriliyor (Toplam: %1)</translation>
    </message>
    <message>
        <source>Downloading packages %1/%2</source>
        <translation>Paketler indiriliyor %1/%2</translation>
    </message>
    <message>
        <source>Okunan istasyon kodu &quot;%1&quot;. Okunan kod ile kayıtlı kod eşleşmiyor!</source>
        <translation>Okunan istasyon kodu &quot;%1&quot;. Okunan kod ile kayıtlı kod eşleşmiyor!</translation>
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
        <translation>Başlık</translation>
    </message>
    <message>
        <source>Station Name</source>
        <translation>İstasyon Adı</translation>
    </message>
    <message>
        <source>Station Code</source>
        <translation>İstasyon Kodu</translation>
    </message>
    <message>
        <source>Region</source>
        <translation>Bölge</translation>
    </message>
    <message>
        <source>Basin</source>
        <translation>Havza</translation>
    </message>
    <message>
        <source>Station No</source>
        <translation>İstasyon No</translation>
    </message>
    <message>
        <source>Device Type</source>
        <translation>Cihaz Tipi</translation>
    </message>
    <message>
        <source>Phone</source>
        <translation>Telefon</translation>
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
        <translation>Bağlantı Periyodu</translation>
    </message>
    <message>
        <source>Last Connection Time</source>
        <translation>Son Bağlantı Zamanı</translation>
    </message>
    <message>
        <source>Active</source>
        <translation>Aktif</translation>
    </message>
    <message>
        <source>Coordinate</source>
        <translation>Koordinat</translation>
    </message>
    <message>
        <source>E-Mail Notification</source>
        <translation>E-Posta Bildirimi</translation>
    </message>
    <message>
        <source>E-Mail List</source>
        <translation>E-Posta Listesi</translation>
    </message>
    <message>
        <source>Directory</source>
        <translation>Dizin</translation>
    </message>
    <message>
        <source>File Name</source>
        <translation>Dosya Adı</translation>
    </message>
    <message>
        <source>Text Export</source>
        <translation>Metin Aktarımı</translation>
    </message>
    <message>
        <source>Excel Export</source>
        <translation>Excel Aktarımı</translation>
    </message>
    <message>
        <source>Air Humudiry</source>
        <translation>Hava Nemi</translation>
    </message>
    <message>
        <source>Air Pressure</source>
        <translation>Hava Basıncı</translation>
    </message>
    <message>
        <source>Air Temperature</source>
        <translation>Hava Sıcaklığı</translation>
    </message>
    <message>
        <source>Direct Radiation</source>
        <translation>Direkt Radyasyon</translation>
    </message>
    <message>
        <source>Electrical Conductivity</source>
        <translation>Elektriksel İletkenlik</translation>
    </message>
    <message>
        <source>ETo</source>
        <translation>ETo</translation>
    </message>
    <message>
        <source>Evapotranspiration</source>
        <translation>Evapotranspirasyon</translation>
    </message>
    <message>
        <source>Global Radiation</source>
        <translation>Global Radyasyon</translation>
    </message>
    <message>
        <source>Leaf Wetness</source>
        <translation>Yaprak Islaklığı</translation>
    </message>
    <message>
        <source>Potential Hydrogen</source>
        <translation>pH</translation>
    </message>
    <message>
        <source>Precipitation</source>
        <translation>Yağış</translation>
    </message>
    <message>
        <source>Sunshine Duration</source>
        <translation>Güneşlenme Süresi</translation>
    </message>
    <message>
        <source>Soil Moisture</source>
        <translation>Toprak Nemi</translation>
    </message>
    <message>
        <source>Snow Depth</source>
        <translation>Kar Derinliği</translation>
    </message>
    <message>
        <source>Water Amount</source>
        <translation>Su Miktarı</translation>
    </message>
    <message>
        <source>Water Flow</source>
        <translation>Su Debisi</translation>
    </message>
    <message>
        <source>Water Level</source>
        <translation>Su Seviyesi</translation>
    </message>
    <message>
        <source>Water Speed</source>
        <translation>Su Hızı</translation>
    </message>
    <message>
        <source>Water Temperature</source>
        <translation>Su Sıcaklığı</translation>
    </message>
    <message>
        <source>Water Capacity</source>
        <translation>Su Kapasitesi</translation>
    </message>
    <message>
        <source>Wind Direction</source>
        <translation>Rüzgar Yönü</translation>
    </message>
    <message>
        <source>Wind Speed</source>
        <translation>Rüzgar Hızı</translation>
    </message>
    <message>
        <source>Doluluk Oranı</source>
        <translation>Doluluk Oranı</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Durum</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Evet</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Hayır</translation>
    </message>
    <message>
        <source>Download Data</source>
        <translation>Veri İndir</translation>
    </message>
    <message>
        <source>Collection is off for this station.</source>
        <translation>Bu istasyondan veri toplama kapalı.</translation>
    </message>
    <message>
        <source>Failing since %1</source>
        <translation>%1 tarihinden beri hatalı</translation>
    </message>
    <message>
        <source>Failing; last success %1</source>
        <translation>Hatalı; son başarılı ziyaret %1</translation>
    </message>
    <message>
        <source>Failing</source>
        <translation>Hatalı</translation>
    </message>
    <message numerus="yes">
        <source>(%n failed visit(s) in a row)</source>
        <translation>
            <numerusform>(art arda %n başarısız ziyaret)</numerusform>
        </translation>
    </message>
    <message>
        <source>The device clock was off beyond the limit at the last visit.</source>
        <translation>Son ziyarette cihaz saati sınırdan fazla sapmıştı.</translation>
    </message>
    <message>
        <source>high</source>
        <translation>yüksek</translation>
    </message>
    <message>
        <source>low</source>
        <translation>düşük</translation>
    </message>
    <message>
        <source>rise</source>
        <translation>yükselme</translation>
    </message>
    <message>
        <source>Value alarm on channel %1: %2 since %3, value %4</source>
        <translation>Kanal %1 değer alarmı: %3 tarihinden beri %2, değer %4</translation>
    </message>
</context>
<context>
    <name>StoreHealth</name>
    <message>
        <source>The database has not stored statuses since %1.</source>
        <translation>Veritabanı %1 tarihinden beri durumları kaydedemiyor.</translation>
    </message>
    <message>
        <source>The database has not stored statuses since %1: %2</source>
        <translation>Veritabanı %1 tarihinden beri durumları kaydedemiyor: %2</translation>
    </message>
</context>
<context>
    <name>UploadCheck</name>
    <message>
        <source>%1 and %2</source>
        <translation>%1 ve %2</translation>
    </message>
    <message>
        <source>setup</source>
        <translation>kurulum bilgileri</translation>
    </message>
    <message>
        <source>channel names</source>
        <translation>kanal isimleri</translation>
    </message>
    <message>
        <source>calibrations</source>
        <translation>kalibrasyonlar</translation>
    </message>
    <message>
        <source>alarms</source>
        <translation>alarmlar</translation>
    </message>
    <message>
        <source>the device did not answer</source>
        <translation>cihaz yanıt vermedi</translation>
    </message>
    <message>
        <source>the device refused it (wrong password)</source>
        <translation>cihaz reddetti (şifre yanlış)</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>gönderilmedi</translation>
    </message>
    <message>
        <source>it could not be read back</source>
        <translation>geri okunamadı</translation>
    </message>
    <message>
        <source>%1 %2 instead of %3</source>
        <translation>%3 yerine %1 %2</translation>
    </message>
    <message>
        <source>the device reports %1</source>
        <translation>cihazın bildirdiği: %1</translation>
    </message>
    <message>
        <source>%1 not confirmed: %2</source>
        <translation>%1 doğrulanmadı: %2</translation>
    </message>
    <message>
        <source>%1 confirmed</source>
        <translation>%1 doğrulandı</translation>
    </message>
</context>
<context>
    <name>UploadLedger</name>
    <message>
        <source>Cihazın kabul ettiği kayıtlar: %1.</source>
        <translation>Cihazın kabul ettiği kayıtlar: %1.</translation>
    </message>
    <message>
        <source>Cihaz hiçbir kaydı kabul etmedi.</source>
        <translation>Cihaz hiçbir kaydı kabul etmedi.</translation>
    </message>
    <message>
        <source>Şifre yanlış: cihaz %1 kaydını reddetti.</source>
        <translation>Şifre yanlış: cihaz %1 kaydını reddetti.</translation>
    </message>
    <message>
        <source>%1 gönderilemedi: %2</source>
        <translation>%1 gönderilemedi: %2</translation>
    </message>
    <message>
        <source>%1 için cihazdan yanıt gelmedi; kabul edilip edilmediği bilinmiyor.</source>
        <translation>%1 için cihazdan yanıt gelmedi; kabul edilip edilmediği bilinmiyor.</translation>
    </message>
    <message>
        <source>%1 için cihazın yanıtı bekleniyor.</source>
        <translation>%1 için cihazın yanıtı bekleniyor.</translation>
    </message>
    <message>
        <source>Gönderilmeyen kayıtlar: %1.</source>
        <translation>Gönderilmeyen kayıtlar: %1.</translation>
    </message>
    <message>
        <source>Kanal İsimleri</source>
        <translation>Kanal İsimleri</translation>
    </message>
    <message>
        <source>Kanal Kalibrasyonları</source>
        <translation>Kanal Kalibrasyonları</translation>
    </message>
    <message>
        <source>Kurulum Bilgileri</source>
        <translation>Kurulum Bilgileri</translation>
    </message>
    <message>
        <source>Alarm Parametreleri</source>
        <translation>Alarm Parametreleri</translation>
    </message>
</context>
<context>
    <name>Worker</name>
    <message>
        <source>Connecting..</source>
        <translation>Bağlanılıyor..</translation>
    </message>
    <message>
        <source>Reading parameters</source>
        <translation>Parametreler okunuyor</translation>
    </message>
    <message>
        <source>Success</source>
        <translation>Başarılı</translation>
    </message>
    <message>
        <source>The station has no data directory.</source>
        <translation>İstasyonun veri dizini yok.</translation>
    </message>
    <message>
        <source>Could not save the data file %1</source>
        <translation>%1 veri dosyası kaydedilemedi</translation>
    </message>
    <message>
        <source>Visit interrupted by stop</source>
        <translation>Ziyaret, durdurulduğu için kesildi</translation>
    </message>
    <message>
        <source>Visit interrupted by stop while waiting to save %1</source>
        <translation>Ziyaret, %1 kaydedilmeyi beklerken durdurulduğu için kesildi</translation>
    </message>
    <message>
        <source>Retry %1 of %2 in %3 min: %4</source>
        <translation>Yeniden deneme %1/%2, %3 dk sonra: %4</translation>
    </message>
    <message>
        <source>%1 (device clock off by %2 s)</source>
        <translation>%1 (cihaz saati %2 sn farklı)</translation>
    </message>
    <message>
        <source>Device clock off by %1 s (limit %2 s)</source>
        <translation>Cihaz saati %1 sn farklı (sınır %2 sn)</translation>
    </message>
    <message>
        <source>Setting the device clock to the host time (off by %1 s)</source>
        <translation>Cihaz saati bilgisayar saatine ayarlanıyor (fark %1 sn)</translation>
    </message>
    <message>
        <source>Device clock set to the host time</source>
        <translation>Cihaz saati bilgisayar saatine ayarlandı</translation>
    </message>
    <message>
        <source>Device clock not set: wrong device password</source>
        <translation>Cihaz saati ayarlanamadı: cihaz şifresi yanlış</translation>
    </message>
    <message>
        <source>Lease expired: the station store cannot be reached</source>
        <translation>Kira süresi doldu: istasyon veritabanına ulaşılamıyor</translation>
    </message>
    <message>
        <source>Lease lost: station now held by %1</source>
        <translation>Kira kaybedildi: istasyon artık %1 toplayıcısında</translation>
    </message>
    <message>
        <source>Visit dropped: the lease on the station expired</source>
        <translation>Ziyaret bırakıldı: istasyonun kira süresi doldu</translation>
    </message>
    <message>
        <source>Visit dropped: station now held by %1</source>
        <translation>Ziyaret bırakıldı: istasyon artık %1 toplayıcısında</translation>
    </message>
    <message>
        <source>Collection stopped before the retry: %1</source>
        <translation>Toplama, yeniden denemeden önce durduruldu: %1</translation>
    </message>
    <message>
        <source>The station&apos;s file name cannot name a file: %1</source>
        <translation>İstasyonun dosya adı kullanılamaz: %1</translation>
    </message>
    <message>
        <source>The station store does not answer: nothing was downloaded</source>
        <translation>İstasyon deposu yanıt vermiyor: hiçbir şey indirilmedi</translation>
    </message>
    <message>
        <source>Nothing saved: the station store did not take the values (%1)</source>
        <translation>Hiçbir şey kaydedilmedi: istasyon deposu değerleri kabul etmedi (%1)</translation>
    </message>
    <message>
        <source>The values are stored, but the station store did not give them back for the data file %1; it is completed at the next visit</source>
        <translation>Değerler kaydedildi, ancak istasyon deposu %1 veri dosyası için onları geri vermedi; dosya bir sonraki ziyarette tamamlanır</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Database Error</source>
        <translation>Veritabanı Hatası</translation>
    </message>
    <message>
        <source>Could not connect to database.</source>
        <translation>Veritabanına bağlanılamadı.</translation>
    </message>
    <message>
        <source>the folder %1 could not be created</source>
        <translation>%1 klasörü oluşturulamadı</translation>
    </message>
    <message>
        <source>Database: %1
Reason: %2</source>
        <translation>Veritabanı: %1
Neden: %2</translation>
    </message>
</context>
</TS>
