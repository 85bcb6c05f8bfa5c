<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CheckInterval</name>
    <message>
        <source>Check at most once a minute: enter 1 or more minutes</source>
        <translation>Höchstens einmal pro Minute prüfen: 1 oder mehr Minuten eingeben</translation>
    </message>
    <message>
        <source>Enter minutes (e.g. 15) or clock times hh:mm separated by &quot;;&quot;</source>
        <translation>Minuten (z. B. 15) oder Uhrzeiten hh:mm, getrennt durch &quot;;&quot;, eingeben</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a clock time hh:mm</source>
        <translation>&apos;%1&apos; ist keine Uhrzeit hh:mm</translation>
    </message>
</context>
<context>
    <name>CloudPage</name>
    <message>
        <source>Cloud connection</source>
        <translation>Cloud-Verbindung</translation>
    </message>
    <message>
        <source>Client Id</source>
        <translation>Client-ID</translation>
    </message>
    <message>
        <source>Client Secret</source>
        <translation>Client-Geheimnis</translation>
    </message>
    <message>
        <source>Authorization URL</source>
        <translation>Autorisierungs-URL</translation>
    </message>
    <message>
        <source>Token URL</source>
        <translation>Token-URL</translation>
    </message>
    <message>
        <source>Scope</source>
        <translation>Bereich (Scope)</translation>
    </message>
    <message>
        <source>User Id</source>
        <translation>Benutzer-ID</translation>
    </message>
</context>
<context>
    <name>ConfigChecks</name>
    <message>
        <source>Port must be between 1 and 65535</source>
        <translation>Der Port muss zwischen 1 und 65535 liegen</translation>
    </message>
    <message>
        <source>Port must be between 1 and 65535, or 0 for no metrics</source>
        <translation>Der Port muss zwischen 1 und 65535 liegen, oder 0 für keine Metriken</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no IP address (for example 127.0.0.1, or 0.0.0.0 for every interface)</source>
        <translation>&apos;%1&apos; ist keine IP-Adresse (zum Beispiel 127.0.0.1, oder 0.0.0.0 für alle Schnittstellen)</translation>
    </message>
    <message>
        <source>An empty pattern matches no identifier</source>
        <translation>Ein leeres Muster passt auf keine Kennung</translation>
    </message>
    <message>
        <source>Pattern &apos;%1&apos; can never match: %2</source>
        <translation>Das Muster &apos;%1&apos; kann nie passen: %2</translation>
    </message>
</context>
<context>
    <name>Config_UI</name>
    <message>
        <source>Configuration</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>IMAP</source>
        <translation>IMAP</translation>
    </message>
    <message>
        <source>Cloud connection</source>
        <translation>Cloud-Verbindung</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Crypto</source>
        <translation>Verschlüsselung</translation>
    </message>
    <message>
        <source>DMS / PDBS</source>
        <translation>DMS / PDBS</translation>
    </message>
    <message>
        <source>Mapping</source>
        <translation>Zuordnung</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Range check</source>
        <translation>Grenzwertprüfung</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Empfänger</translation>
    </message>
    <message>
        <source>Mail reporting</source>
        <translation>Statusmail</translation>
    </message>
    <message>
        <source>Service</source>
        <translation>Dienst</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Fenster schließen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Script Tester</source>
        <translation>Skript-Tester</translation>
    </message>
    <message>
        <source>%1 not found</source>
        <translation>%1 nicht gefunden</translation>
    </message>
    <message>
        <source>Configuration has changed - save now ?</source>
        <translation>Die Konfiguration wurde geändert – jetzt speichern?</translation>
    </message>
</context>
<context>
    <name>CryptoPage</name>
    <message>
        <source>Use MS Crypto API (Verify Signature)</source>
        <translation>MS Crypto API verwenden (Signaturprüfung)</translation>
    </message>
    <message>
        <source>Verify Signature</source>
        <translation>Signatur prüfen</translation>
    </message>
    <message>
        <source>Use MS Crypto API (Decrypt)</source>
        <translation>MS Crypto API verwenden (Entschlüsselung)</translation>
    </message>
    <message>
        <source>EMail Whitelist</source>
        <translation>Zugelassene Absender</translation>
    </message>
    <message>
        <source>idx</source>
        <translation>Nr.</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Header</source>
        <translation>Kopfzeile</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>And conditions separated by &quot;,&quot;, or contitions separated by &quot;|&quot;</source>
        <translation>Und-Bedingungen durch &quot;,&quot; trennen, Oder-Bedingungen durch &quot;|&quot;</translation>
    </message>
</context>
<context>
    <name>DataMonitor</name>
    <message>
        <source>Timestamp</source>
        <translation>Zeitstempel</translation>
    </message>
    <message>
        <source>DMS Point</source>
        <translation>Datenpunkt</translation>
    </message>
    <message>
        <source>ValueTimestamp</source>
        <translation>Messzeitpunkt</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Messwert</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Show trend of %1</source>
        <translation>Trend von %1 anzeigen</translation>
    </message>
</context>
<context>
    <name>DmsPage</name>
    <message>
        <source>&apos;.&apos; or &apos;local&apos; or &apos;ORVANE-DMS&apos; for pipe connection or &apos;ip:port&apos; for tcp connection</source>
        <translation>&apos;.&apos;, &apos;local&apos; oder &apos;ORVANE-DMS&apos; für eine Pipe-Verbindung, &apos;ip:port&apos; für eine TCP-Verbindung</translation>
    </message>
    <message>
        <source>Make AKS uppercase</source>
        <translation>AKS in Großbuchstaben</translation>
    </message>
    <message>
        <source>Write data to PDBS</source>
        <translation>Werte ins Trendarchiv (PDBS) schreiben</translation>
    </message>
    <message>
        <source>Last entry to DMS</source>
        <translation>Letzten Wert ins DMS schreiben</translation>
    </message>
    <message>
        <source>Use trend configuration</source>
        <translation>Trendkonfiguration verwenden</translation>
    </message>
    <message>
        <source>DMS</source>
        <translation>DMS</translation>
    </message>
    <message>
        <source>PDBS</source>
        <translation>PDBS</translation>
    </message>
    <message>
        <source>DMS-Name prefix</source>
        <translation>Präfix der DMS-Namen</translation>
    </message>
    <message>
        <source>Max last update</source>
        <translation>Letzte Aktualisierung höchstens vor</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>State error on</source>
        <translation>Statusfehler ab</translation>
    </message>
    <message>
        <source>% errors/mail</source>
        <translation>% Fehler je Mail</translation>
    </message>
    <message>
        <source>Data points</source>
        <translation>Datenpunkte</translation>
    </message>
    <message>
        <source>AKS</source>
        <translation>AKS</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Remove Datapoint</source>
        <translation>Datenpunkt entfernen</translation>
    </message>
    <message>
        <source>Check always</source>
        <translation>Immer prüfen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add TRD</source>
        <translation>TRD hinzufügen</translation>
    </message>
    <message>
        <source>Add ALM</source>
        <translation>ALM hinzufügen</translation>
    </message>
</context>
<context>
    <name>ExportFileToSQLiteCfg</name>
    <message>
        <source>Export EMails/Files to SQLite DB</source>
        <translation>E-Mails/Dateien in SQLite-Datenbank exportieren</translation>
    </message>
    <message>
        <source>EMail paths</source>
        <translation>E-Mail-Verzeichnisse</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Ein oder mehrere Quellverzeichnisse, getrennt durch &quot;;&quot;, oder im Ordnerdialog mit CTRL gemeinsam auswählen.</source>
        <translation>Ein oder mehrere Quellverzeichnisse, getrennt durch &quot;;&quot;, oder im Ordnerdialog mit Strg gemeinsam auswählen.</translation>
    </message>
</context>
<context>
    <name>ExportSQLiteToHdbxCfg</name>
    <message>
        <source>Export SQLite DB to PDBS .hdbx files</source>
        <translation>SQLite-Datenbank in PDBS-.hdbx-Dateien exportieren</translation>
    </message>
    <message>
        <source>Source DB</source>
        <translation>Quelldatenbank</translation>
    </message>
    <message>
        <source>Orvane backup path</source>
        <translation>Orvane-Sicherungsverzeichnis</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>Abfrage</translation>
    </message>
    <message>
        <source>Default query</source>
        <translation>Standardabfrage</translation>
    </message>
    <message>
        <source>Choose DB</source>
        <translation>Datenbank wählen</translation>
    </message>
    <message>
        <source>SQLite DB (*.db)</source>
        <translation>SQLite-Datenbank (*.db)</translation>
    </message>
    <message>
        <source>Choose Folder</source>
        <translation>Verzeichnis wählen</translation>
    </message>
</context>
<context>
    <name>GeneralPage</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Minutes between checks (at least 1), or clock times hh:mm separated by &quot;;&quot;</source>
        <translation>Minuten zwischen den Abrufen (mindestens 1) oder Uhrzeiten hh:mm, getrennt durch &quot;;&quot;</translation>
    </message>
    <message>
        <source>Inbox</source>
        <translation>Posteingang</translation>
    </message>
    <message>
        <source>Check mails every</source>
        <translation>Postfach abrufen alle</translation>
    </message>
    <message>
        <source>min / time</source>
        <translation>Min. / Uhrzeit</translation>
    </message>
    <message>
        <source>Limit to</source>
        <translation>Höchstens</translation>
    </message>
    <message>
        <source>Mails per session</source>
        <translation>Mails je Abruf</translation>
    </message>
</context>
<context>
    <name>ImapPage</name>
    <message>
        <source>IMAP connection</source>
        <translation>IMAP-Verbindung</translation>
    </message>
    <message>
        <source>SSL</source>
        <translation>SSL</translation>
    </message>
    <message>
        <source>Allow plain login without encryption</source>
        <translation>Anmeldung ohne Verschlüsselung erlauben</translation>
    </message>
    <message>
        <source>The password then travels in clear text.</source>
        <translation>Das Passwort wird dann im Klartext übertragen.</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>On success</source>
        <translation>Bei Erfolg</translation>
    </message>
    <message>
        <source>Copy original EMail to Server folder</source>
        <translation>Original-Mail in Serverordner kopieren</translation>
    </message>
    <message>
        <source>Copy original or decrypted EMail to local folder</source>
        <translation>Original- oder entschlüsselte Mail in lokalen Ordner kopieren</translation>
    </message>
    <message>
        <source>Copy decrypted EMail to Server folder</source>
        <translation>Entschlüsselte Mail in Serverordner kopieren</translation>
    </message>
    <message>
        <source>Ignore encrypted EMail</source>
        <translation>Verschlüsselte Mails ignorieren</translation>
    </message>
    <message>
        <source>On failure</source>
        <translation>Bei Fehler</translation>
    </message>
    <message>
        <source>Open Directory</source>
        <translation>Verzeichnis öffnen</translation>
    </message>
</context>
<context>
    <name>ImportCfg</name>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>Import paths</source>
        <translation>Importverzeichnisse</translation>
    </message>
    <message>
        <source>Temporary / output path</source>
        <translation>Temporär- / Ausgabeverzeichnis</translation>
    </message>
    <message>
        <source>Direct write/merge .hdb files</source>
        <translation>.hdb-Dateien direkt schreiben/zusammenführen</translation>
    </message>
    <message>
        <source>Backup data path</source>
        <translation>Sicherungsverzeichnis</translation>
    </message>
</context>
<context>
    <name>MailMonitor</name>
    <message>
        <source>Do not show successful mails</source>
        <translation>Erfolgreiche Mails ausblenden</translation>
    </message>
    <message>
        <source>Mail monitor</source>
        <translation>Mail-Monitor</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Zeitstempel</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Data</source>
        <translation>Daten</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
</context>
<context>
    <name>MappingPage</name>
    <message>
        <source>from Import</source>
        <translation>Importierter Name</translation>
    </message>
    <message>
        <source>to DMS AKS</source>
        <translation>DMS-AKS</translation>
    </message>
    <message>
        <source>Script</source>
        <translation>Skript</translation>
    </message>
    <message>
        <source>Remove mapping</source>
        <translation>Zuordnung entfernen</translation>
    </message>
    <message>
        <source>Any configured DMS-name prefix (tab &quot;DMS / PDBS&quot;) is already prepended to %IAKSx%</source>
        <translation>Ein eingestelltes Präfix der DMS-Namen (Reiter &quot;DMS / PDBS&quot;) steht %IAKSx% bereits voran</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
</context>
<context>
    <name>OptionsPage</name>
    <message>
        <source>Set IP to modBus configuration</source>
        <translation>IP in Modbus-Konfiguration übernehmen</translation>
    </message>
    <message>
        <source>Ignore 0 values</source>
        <translation>Nullwerte ignorieren</translation>
    </message>
    <message>
        <source>Do not send values with state != 0</source>
        <translation>Messwerte mit Status ≠ 0 nicht senden</translation>
    </message>
    <message>
        <source>Use %ISN% as %IAKS% suffix</source>
        <translation>%ISN% als Endung von %IAKS% verwenden</translation>
    </message>
    <message>
        <source>Use %ISN% as %IAKS% second last part</source>
        <translation>%ISN% als vorletzten Teil von %IAKS% verwenden</translation>
    </message>
    <message>
        <source>Import-Format</source>
        <translation>Importformat</translation>
    </message>
    <message>
        <source>Pattern</source>
        <translation>Muster</translation>
    </message>
    <message>
        <source>Option</source>
        <translation>Option</translation>
    </message>
    <message>
        <source>Remove option</source>
        <translation>Option entfernen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Ignore UTC timstamp</source>
        <translation>UTC-Zeitstempel ignorieren</translation>
    </message>
</context>
<context>
    <name>PageParts</name>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
</context>
<context>
    <name>RangeCheckPage</name>
    <message>
        <source>Pattern</source>
        <translation>Muster</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min.</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max.</translation>
    </message>
    <message>
        <source>Remove Check</source>
        <translation>Prüfung entfernen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
</context>
<context>
    <name>ReportPage</name>
    <message>
        <source>Subjects</source>
        <translation>Betreffzeilen</translation>
    </message>
    <message>
        <source>On ok</source>
        <translation>Bei OK</translation>
    </message>
    <message>
        <source>On new status</source>
        <translation>Bei neuem Status</translation>
    </message>
    <message>
        <source>SMTP connection</source>
        <translation>SMTP-Verbindung</translation>
    </message>
    <message>
        <source>Plain</source>
        <translation>Unverschlüsselt</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Host</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Connection type</source>
        <translation>Verbindungsart</translation>
    </message>
    <message>
        <source>Auth method</source>
        <translation>Anmeldeverfahren</translation>
    </message>
    <message>
        <source>Loginname</source>
        <translation>Anmeldename</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>Absender</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Send status change every</source>
        <translation>Statusänderung senden alle</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>Minuten</translation>
    </message>
</context>
<context>
    <name>RowTable</name>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation>Zeile %1: %2</translation>
    </message>
    <message>
        <source>Remove &apos;%1&apos; ?</source>
        <translation>&apos;%1&apos; entfernen?</translation>
    </message>
</context>
<context>
    <name>ScriptTest</name>
    <message>
        <source>Script Tester</source>
        <translation>Skript-Tester</translation>
    </message>
    <message>
        <source>Script</source>
        <translation>Skript</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Evaluate</source>
        <translation>Auswerten</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Evaluating...</source>
        <translation>Wird ausgewertet …</translation>
    </message>
    <message>
        <source>Error: Script is empty!</source>
        <translation>Fehler: Das Skript ist leer!</translation>
    </message>
    <message>
        <source>Error: Script must start with &apos;=&apos;!</source>
        <translation>Fehler: Das Skript muss mit &apos;=&apos; beginnen!</translation>
    </message>
    <message>
        <source>Uncaught exception at line %1:%2</source>
        <translation>Nicht abgefangene Ausnahme in Zeile %1:%2</translation>
    </message>
    <message>
        <source>Evaluated in %1 ns / %2 ms</source>
        <translation>Ausgewertet in %1 ns / %2 ms</translation>
    </message>
    <message>
        <source>Exception on Line %1</source>
        <translation>Ausnahme in Zeile %1</translation>
    </message>
</context>
<context>
    <name>SearchCfg</name>
    <message>
        <source>Search</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Search paths</source>
        <translation>Suchverzeichnisse</translation>
    </message>
    <message>
        <source>From</source>
        <translation>Von</translation>
    </message>
    <message>
        <source>To</source>
        <translation>Bis</translation>
    </message>
    <message>
        <source>File Filter</source>
        <translation>Dateifilter</translation>
    </message>
    <message>
        <source>(contains)</source>
        <translation>(enthält)</translation>
    </message>
    <message>
        <source>Imported Rds</source>
        <translation>Importierter Zählpunkt</translation>
    </message>
    <message>
        <source>Regex</source>
        <translation>Regulärer Ausdruck</translation>
    </message>
    <message>
        <source>Mapped Rds</source>
        <translation>Zugeordneter Datenpunkt</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Messwert</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
</context>
<context>
    <name>ServicePage</name>
    <message>
        <source>Metrics (Prometheus text format, GET /metrics)</source>
        <translation>Metriken (Prometheus-Textformat, GET /metrics)</translation>
    </message>
    <message>
        <source>TCP port of the metrics endpoint; 0 switches it off</source>
        <translation>TCP-Port des Metrik-Endpunkts; 0 schaltet ihn ab</translation>
    </message>
    <message>
        <source>Address the endpoint listens on: 127.0.0.1 for this machine only, 0.0.0.0 for every interface</source>
        <translation>Adresse, auf der der Endpunkt lauscht: 127.0.0.1 nur für diesen Rechner, 0.0.0.0 für alle Schnittstellen</translation>
    </message>
    <message>
        <source>Metrics port</source>
        <translation>Metrik-Port</translation>
    </message>
    <message>
        <source>0 = off</source>
        <translation>0 = aus</translation>
    </message>
    <message>
        <source>Metrics address</source>
        <translation>Metrik-Adresse</translation>
    </message>
</context>
<context>
    <name>StateRows</name>
    <message>
        <source>Mail</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>next check</source>
        <translation>nächster Abruf</translation>
    </message>
    <message>
        <source>DMS</source>
        <translation>DMS</translation>
    </message>
    <message>
        <source>Reporter</source>
        <translation>Statusmeldung</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Verbindet</translation>
    </message>
    <message>
        <source>ErrorRegistration</source>
        <translation>Anmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Missing configuration</source>
        <translation>Konfiguration fehlt</translation>
    </message>
    <message>
        <source>Sorting values...</source>
        <translation>Messwerte werden sortiert …</translation>
    </message>
    <message>
        <source>Storing temporary files...</source>
        <translation>Temporäre Dateien werden gespeichert …</translation>
    </message>
    <message>
        <source>Processing temporary files...</source>
        <translation>Temporäre Dateien werden verarbeitet …</translation>
    </message>
    <message>
        <source>Verify hdbx...</source>
        <translation>hdbx wird geprüft …</translation>
    </message>
    <message>
        <source>Exporting to hdbx...</source>
        <translation>Export nach hdbx …</translation>
    </message>
    <message>
        <source>Exporting - searching for new files...</source>
        <translation>Export – neue Dateien werden gesucht …</translation>
    </message>
</context>
<context>
    <name>ToolDialog</name>
    <message>
        <source>Choose Folders</source>
        <translation>Verzeichnisse wählen</translation>
    </message>
</context>
<context>
    <name>TrayMenu</name>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>&amp;Configure</source>
        <translation>&amp;Konfigurieren</translation>
    </message>
    <message>
        <source>&amp;States</source>
        <translation>&amp;Zustände</translation>
    </message>
    <message>
        <source>T&amp;rend...</source>
        <translation>T&amp;rend …</translation>
    </message>
    <message>
        <source>&amp;Running</source>
        <translation>&amp;Läuft</translation>
    </message>
    <message>
        <source>&amp;Terminate</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Next check </source>
        <translation>Nächster Abruf </translation>
    </message>
    <message>
        <source>Processing mails...</source>
        <translation>Mails werden verarbeitet …</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>DMS</source>
        <translation>DMS</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>States</source>
        <translation>Zustände</translation>
    </message>
    <message>
        <source>Mail monitor</source>
        <translation>Mail-Monitor</translation>
    </message>
    <message>
        <source>Force mail check</source>
        <translation>Postfach jetzt abrufen</translation>
    </message>
    <message>
        <source>Mail Data monitor</source>
        <translation>Monitor Mail-Messwerte</translation>
    </message>
    <message>
        <source>DB Data monitor</source>
        <translation>Monitor Datenbank-Messwerte</translation>
    </message>
    <message>
        <source>Current report</source>
        <translation>Aktuelle Statusmeldung</translation>
    </message>
    <message>
        <source>Force report</source>
        <translation>Statusmeldung jetzt senden</translation>
    </message>
    <message>
        <source>Start import...</source>
        <translation>Import starten …</translation>
    </message>
    <message>
        <source>Start search...</source>
        <translation>Suche starten …</translation>
    </message>
    <message>
        <source>Open result file</source>
        <translation>Ergebnisdatei öffnen</translation>
    </message>
    <message>
        <source>Start export EMails/Files to SQLite DB...</source>
        <translation>Export E-Mails/Dateien in SQLite-Datenbank starten …</translation>
    </message>
    <message>
        <source>Start export SQLite DB to PDBS .hdbx files...</source>
        <translation>Export SQLite-Datenbank in PDBS-.hdbx-Dateien starten …</translation>
    </message>
</context>
<context>
    <name>TrendChart</name>
    <message>
        <source>%1: state not 0</source>
        <translation>%1: Status ungleich 0</translation>
    </message>
    <message>
        <source>State not 0</source>
        <translation>Status ungleich 0</translation>
    </message>
    <message>
        <source>No trend rows in this range</source>
        <translation>Keine Trendwerte in diesem Zeitraum</translation>
    </message>
    <message>
        <source>Local time (%1)</source>
        <translation>Ortszeit (%1)</translation>
    </message>
    <message>
        <source>Value (no unit)</source>
        <translation>Messwert (ohne Einheit)</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>Trend</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>Filter point names</source>
        <translation>Datenpunkte filtern</translation>
    </message>
    <message>
        <source>Last day</source>
        <translation>Letzter Tag</translation>
    </message>
    <message>
        <source>Last week</source>
        <translation>Letzte Woche</translation>
    </message>
    <message>
        <source>Last month</source>
        <translation>Letzter Monat</translation>
    </message>
    <message>
        <source>From/to</source>
        <translation>Von/bis</translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Anzeigen</translation>
    </message>
    <message>
        <source>Reset zoom</source>
        <translation>Zoom zurücksetzen</translation>
    </message>
    <message>
        <source>Drag across the chart to zoom into a time span; right click zooms out.</source>
        <translation>Über die Kurve ziehen, um einen Zeitraum zu vergrößern; Rechtsklick verkleinert wieder.</translation>
    </message>
    <message>
        <source>Points:</source>
        <translation>Datenpunkte:</translation>
    </message>
    <message>
        <source>Range:</source>
        <translation>Zeitraum:</translation>
    </message>
    <message>
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>Bis:</translation>
    </message>
    <message>
        <source>Pick one or more points on the left</source>
        <translation>Links einen oder mehrere Datenpunkte wählen</translation>
    </message>
    <message numerus="yes">
        <source>%n row(s)</source>
        <translation>
            <numerusform>%n Wert</numerusform>
            <numerusform>%n Werte</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n gap(s)</source>
        <translation>
            <numerusform>%n Lücke</numerusform>
            <numerusform>%n Lücken</numerusform>
        </translation>
    </message>
    <message>
        <source>read in %1 ms</source>
        <translation>gelesen in %1 ms</translation>
    </message>
    <message>
        <source>left out for another unit: %1</source>
        <translation>wegen anderer Einheit weggelassen: %1</translation>
    </message>
    <message>
        <source>%1: more than %2 rows in this range, the first ones are shown</source>
        <translation>%1: mehr als %2 Werte in diesem Zeitraum, die ersten werden angezeigt</translation>
    </message>
    <message>
        <source>(state not 0)</source>
        <translation>(Status ungleich 0)</translation>
    </message>
</context>
<context>
    <name>UsersPage</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Remove User</source>
        <translation>Empfänger entfernen</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
</context>
</TS>
