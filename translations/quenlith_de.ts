<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>quenlith::AttachmentActions</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>In Ordner anzeigen</translation>
    </message>
    <message>
        <source>Open &quot;%1&quot; with the program your desktop opens such files with?

Files attached to documents can harm your computer, as mail attachments can: open only those from a source you trust.</source>
        <translation>&quot;%1&quot; mit dem Programm öffnen, mit dem Ihr Desktop solche Dateien öffnet?

An Dokumente angehängte Dateien können Ihrem Computer schaden, wie E-Mail-Anhänge auch: Öffnen Sie nur solche aus einer vertrauenswürdigen Quelle.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: no temporary folder could be created (%2).</source>
        <translation>&quot;%1&quot; konnte nicht geöffnet werden: Es konnte kein temporärer Ordner angelegt werden (%2).</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: %2.</source>
        <translation>&quot;%1&quot; konnte nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: the desktop has no program to open it with.</source>
        <translation>&quot;%1&quot; konnte nicht geöffnet werden: Der Desktop hat kein Programm, um die Datei zu öffnen.</translation>
    </message>
    <message>
        <source>Save Attachment As</source>
        <translation>Anhang speichern unter</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was saved, but its data disagrees with what the document declares: %2.</source>
        <translation>&quot;%1&quot; wurde gespeichert, aber die Daten weichen von den Angaben des Dokuments ab: %2.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be saved: %2.
A file that was there is left as it was.</source>
        <translation>&quot;%1&quot; konnte nicht gespeichert werden: %2.
Eine bereits vorhandene Datei bleibt unverändert.</translation>
    </message>
    <message>
        <source>The folder could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Der Ordner konnte nicht geöffnet werden: Der Desktop hat kein Programm, um ihn zu öffnen.
%1</translation>
    </message>
</context>
<context>
    <name>quenlith::AttachmentLine</name>
    <message>
        <source>attached to page %1</source>
        <translation>an Seite %1 angehängt</translation>
    </message>
    <message>
        <source>associated file of the document</source>
        <translation>zugeordnete Datei des Dokuments</translation>
    </message>
    <message>
        <source>associated file of %1</source>
        <translation>zugeordnete Datei von %1</translation>
    </message>
    <message>
        <source>in the portfolio</source>
        <translation>im Portfolio</translation>
    </message>
    <message>
        <source>in portfolio folder %1</source>
        <translation>im Portfolio-Ordner %1</translation>
    </message>
    <message>
        <source>not listed by the document</source>
        <translation>vom Dokument nicht aufgeführt</translation>
    </message>
    <message>
        <source>attached to the document</source>
        <translation>an das Dokument angehängt</translation>
    </message>
    <message>
        <source>%1 order</source>
        <translation>Bestellung nach %1</translation>
    </message>
    <message>
        <source>%1 invoice</source>
        <translation>Rechnung nach %1</translation>
    </message>
    <message>
        <source>size not declared</source>
        <translation>Größe nicht angegeben</translation>
    </message>
    <message>
        <source>invoice file: %1</source>
        <translation>Rechnungsdatei: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s)</source>
        <translation>
            <numerusform>%n Byte</numerusform>
            <numerusform>%n Bytes</numerusform>
        </translation>
    </message>
    <message>
        <source>%1.%2 KiB</source>
        <translation>%1,%2 KiB</translation>
    </message>
    <message>
        <source>%1.%2 MiB</source>
        <translation>%1,%2 MiB</translation>
    </message>
    <message>
        <source>%1.%2 GiB</source>
        <translation>%1,%2 GiB</translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentList</name>
    <message numerus="yes">
        <source>%n added document(s) already in the list.</source>
        <translation>
            <numerusform>%n hinzugefügtes Dokument war bereits in der Liste.</numerusform>
            <numerusform>%n hinzugefügte Dokumente waren bereits in der Liste.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n PDF Documents Added</source>
        <translation>
            <numerusform>%n PDF-Dokument hinzugefügt</numerusform>
            <numerusform>%n PDF-Dokumente hinzugefügt</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentListModel</name>
    <message>
        <source>cannot be opened</source>
        <translation>kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>The document could not be opened.</source>
        <translation>Das Dokument konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>repaired: attachments may be missing</source>
        <translation>repariert: Anhänge fehlen möglicherweise</translation>
    </message>
    <message>
        <source>repaired</source>
        <translation>repariert</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>beschädigt</translation>
    </message>
    <message>
        <source>The attachments could not be read: %1</source>
        <translation>Die Anhänge konnten nicht gelesen werden: %1</translation>
    </message>
    <message numerus="yes">
        <source>... and %n more</source>
        <translation>
            <numerusform>... und %n weiterer</numerusform>
            <numerusform>... und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Attachments</source>
        <translation>Anhänge</translation>
    </message>
    <message>
        <source>PDF Document Name</source>
        <translation>Name des PDF-Dokuments</translation>
    </message>
    <message>
        <source>PDF Document Path</source>
        <translation>Pfad des PDF-Dokuments</translation>
    </message>
    <message numerus="yes">
        <source>%n embedded file(s) that the document does not list are not extracted; quenlith-cli extract --unlisted writes them.</source>
        <translation>
            <numerusform>%n eingebettete Datei, die das Dokument nicht aufführt, wird nicht extrahiert; quenlith-cli extract --unlisted schreibt sie.</numerusform>
            <numerusform>%n eingebettete Dateien, die das Dokument nicht aufführt, werden nicht extrahiert; quenlith-cli extract --unlisted schreibt sie.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentListView</name>
    <message>
        <source>Documents can be added with the buttons above or dropped on the list.</source>
        <translation>Dokumente mit den Schaltflächen oben hinzufügen oder auf die Liste ziehen.</translation>
    </message>
</context>
<context>
    <name>quenlith::FolderPickerDialog</name>
    <message>
        <source>The folder %1 could not be created.</source>
        <translation>Der Ordner %1 konnte nicht erstellt werden.</translation>
    </message>
</context>
<context>
    <name>quenlith::OutputFolderPicker</name>
    <message>
        <source>The output folder is inside a folder you added documents from; extracted PDF files would be found there the next time the folder is added. Extract there anyway?</source>
        <translation>Der Zielordner liegt in einem Ordner, aus dem Sie Dokumente hinzugefügt haben; extrahierte PDF-Dateien würden dort beim nächsten Hinzufügen des Ordners mitgefunden. Trotzdem dorthin extrahieren?</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Zielordner auswählen...</translation>
    </message>
</context>
<context>
    <name>quenlith::PasswordDialog</name>
    <message>
        <source>The password given does not open %1. Please try again.</source>
        <translation>Das eingegebene Kennwort öffnet %1 nicht. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>%1 needs a password to be opened.</source>
        <translation>%1 kann nur mit einem Kennwort geöffnet werden.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>Use for all remaining documents</source>
        <translation>Für alle weiteren Dokumente verwenden</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
</context>
<context>
    <name>quenlith::RunCompletion</name>
    <message>
        <source>PDF Attachments Extraction - Completed !</source>
        <translation>Extraktion der PDF-Anhänge - Abgeschlossen!</translation>
    </message>
    <message numerus="yes">
        <source>PDF Attachments Extraction - Cancelled !
Cancelled after %1 of %2 documents; %n attachment(s) written before the stop.</source>
        <translation>
            <numerusform>Extraktion der PDF-Anhänge - Abgebrochen!
Abgebrochen nach %1 von %2 Dokumenten; %n Anhang wurde vor dem Abbruch geschrieben.</numerusform>
            <numerusform>Extraktion der PDF-Anhänge - Abgebrochen!
Abgebrochen nach %1 von %2 Dokumenten; %n Anhänge wurden vor dem Abbruch geschrieben.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) renamed because the document holds several files of the same name.</source>
        <translation>
            <numerusform>%n Anhang wurde umbenannt, weil sein Dokument eine weitere Datei gleichen Namens enthält.</numerusform>
            <numerusform>%n Anhänge wurden umbenannt, weil das Dokument mehrere Dateien gleichen Namens enthält.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) written under a new name because a file with other content was already there.</source>
        <translation>
            <numerusform>%n Anhang wurde unter neuem Namen geschrieben, weil dort bereits eine Datei mit anderem Inhalt lag.</numerusform>
            <numerusform>%n Anhänge wurden unter neuem Namen geschrieben, weil dort bereits Dateien mit anderem Inhalt lagen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) already there unchanged.</source>
        <translation>
            <numerusform>%n Anhang war bereits unverändert vorhanden.</numerusform>
            <numerusform>%n Anhänge waren bereits unverändert vorhanden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) skipped when the password was asked for.</source>
        <translation>
            <numerusform>%n Dokument wurde bei der Kennwortabfrage übersprungen.</numerusform>
            <numerusform>%n Dokumente wurden bei der Kennwortabfrage übersprungen.</numerusform>
        </translation>
    </message>
    <message>
        <source>Output folder: %1</source>
        <translation>Zielordner: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed (%1 failed)</source>
        <translation>
            <numerusform>%n Dokument verarbeitet (%1 fehlgeschlagen)</numerusform>
            <numerusform>%n Dokumente verarbeitet (%1 fehlgeschlagen)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed</source>
        <translation>
            <numerusform>%n Dokument verarbeitet</numerusform>
            <numerusform>%n Dokumente verarbeitet</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n attachment(s) written (%1)</source>
        <translation>
            <numerusform>, %n Anhang geschrieben (%1)</numerusform>
            <numerusform>, %n Anhänge geschrieben (%1)</numerusform>
        </translation>
    </message>
    <message>
        <source>, %1 unchanged</source>
        <translation>, %1 unverändert</translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation>, %1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>JSON report (*.json)</source>
        <translation>JSON-Bericht (*.json)</translation>
    </message>
    <message>
        <source>CSV report (*.csv)</source>
        <translation>CSV-Bericht (*.csv)</translation>
    </message>
    <message>
        <source>Save Report</source>
        <translation>Bericht speichern</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Der Bericht konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Save Report...</source>
        <translation>Bericht speichern...</translation>
    </message>
</context>
<context>
    <name>quenlith::RunDetailsText</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1, %2: %3</source>
        <translation>%1, %2: %3</translation>
    </message>
    <message>
        <source>skipped: Skip was chosen when its password was asked for</source>
        <translation>übersprungen: Bei der Frage nach dem Kennwort wurde „Überspringen“ gewählt</translation>
    </message>
    <message>
        <source>not extracted: %1</source>
        <translation>nicht extrahiert: %1</translation>
    </message>
    <message>
        <source>stopped by Cancel</source>
        <translation>durch „Abbrechen“ angehalten</translation>
    </message>
    <message>
        <source>renamed: %1 → %2 (another attachment has its name): %3</source>
        <translation>umbenannt: %1 → %2 (ein anderer Anhang hat denselben Namen): %3</translation>
    </message>
    <message>
        <source>renamed: %1 → %2 (a file with other content was there): %3</source>
        <translation>umbenannt: %1 → %2 (dort lag bereits eine Datei mit anderem Inhalt): %3</translation>
    </message>
    <message>
        <source>unchanged: %1 (the same file was already there): %2</source>
        <translation>unverändert: %1 (dieselbe Datei war bereits vorhanden): %2</translation>
    </message>
    <message>
        <source>skipped: %1 (%2): %3</source>
        <translation>übersprungen: %1 (%2): %3</translation>
    </message>
    <message>
        <source>not written: %1 (stopped by Cancel): %2</source>
        <translation>nicht geschrieben: %1 (durch „Abbrechen“ angehalten): %2</translation>
    </message>
    <message>
        <source>failed: %1 (%2): %3</source>
        <translation>fehlgeschlagen: %1 (%2): %3</translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) could not be extracted:</source>
        <translation>
            <numerusform>%n Dokument konnte nicht extrahiert werden:</numerusform>
            <numerusform>%n Dokumente konnten nicht extrahiert werden:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) could not be written or failed their checksum:</source>
        <translation>
            <numerusform>%n Anhang konnte nicht geschrieben werden oder hat die Prüfsummenprüfung nicht bestanden:</numerusform>
            <numerusform>%n Anhänge konnten nicht geschrieben werden oder haben die Prüfsummenprüfung nicht bestanden:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>and %n more (see the details).</source>
        <translation>
            <numerusform>und %n weiterer Eintrag (siehe Details).</numerusform>
            <numerusform>und %n weitere Einträge (siehe Details).</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::frmStep1</name>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Arbeitsspeicher</translation>
    </message>
    <message>
        <source>Adobe PDF Files (*.pdf)</source>
        <translation>Adobe PDF-Dateien (*.pdf)</translation>
    </message>
    <message numerus="yes">
        <source>%n PDF Documents Added to List.</source>
        <translation>
            <numerusform>%n PDF-Dokument zur Liste hinzugefügt.</numerusform>
            <numerusform>%n PDF-Dokumente zur Liste hinzugefügt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folder(s) could not be read:</source>
        <translation>
            <numerusform>%n Ordner konnte nicht gelesen werden:</numerusform>
            <numerusform>%n Ordner konnten nicht gelesen werden:</numerusform>
        </translation>
    </message>
    <message>
        <source>and %1 more (see the details).</source>
        <translation>und %1 weitere (siehe Details).</translation>
    </message>
    <message numerus="yes">
        <source>%n dropped file(s) ignored: the name does not end in &quot;.pdf&quot;.</source>
        <translation>
            <numerusform>%n abgelegte Datei wurde übergangen: Ihr Name endet nicht auf „.pdf“.</numerusform>
            <numerusform>%n abgelegte Dateien wurden übergangen: Ihre Namen enden nicht auf „.pdf“.</numerusform>
        </translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Quellordner auswählen...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 Dateien</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Möchten Sie das Programm jetzt wirklich beenden?</translation>
    </message>
    <message>
        <source>Error %1: %2</source>
        <translation>Fehler %1: %2</translation>
    </message>
    <message>
        <source>The manual could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Das Handbuch konnte nicht geöffnet werden: Es ist kein Programm zum Öffnen eingerichtet.
%1</translation>
    </message>
    <message>
        <source>The manual could not be found. It was looked for in:
</source>
        <translation>Das Handbuch wurde nicht gefunden. Gesucht wurde in:
</translation>
    </message>
    <message>
        <source>Add PDF File(s)...</source>
        <translation>PDFs hinzufügen...</translation>
    </message>
    <message>
        <source>Add Folder having PDF File(s)...</source>
        <translation>Ordner mit PDFs hinzufügen...</translation>
    </message>
    <message>
        <source>Clear File(s)...</source>
        <translation>Liste leeren...</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Also extract from attached PDF documents</source>
        <translation>Auch aus PDF-Anhängen extrahieren</translation>
    </message>
    <message>
        <source>The attachments of an attachment that is itself a PDF document go into a folder &quot;&lt;name&gt;.attachments&quot; beside it, up to 8 levels deep.</source>
        <translation>Die Anhänge eines Anhangs, der selbst ein PDF-Dokument ist, kommen in einen Ordner „&lt;Name&gt;.attachments“ daneben, bis zu 8 Ebenen tief.</translation>
    </message>
    <message>
        <source> Extraction Details </source>
        <translation> Details der Extraktion </translation>
    </message>
    <message>
        <source>PDF File &lt;pdf-file&gt;</source>
        <translation>PDF-Datei &lt;pdf-file&gt;</translation>
    </message>
    <message>
        <source>Extraction Progress : </source>
        <translation>Fortschritt: </translation>
    </message>
    <message>
        <source>&amp;Extract Attachments</source>
        <translation>Anhänge &amp;extrahieren</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Handbuch</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>PDF Documents</source>
        <translation>PDF-Dokumente</translation>
    </message>
    <message>
        <source>PDF File</source>
        <translation>PDF-Datei</translation>
    </message>
    <message>
        <source>Extracted Attachment(s)</source>
        <translation>Extrahierte Anhänge</translation>
    </message>
    <message>
        <source>Please wait... Reading %1...</source>
        <translation>Bitte warten... %1 wird gelesen...</translation>
    </message>
    <message>
        <source>The output folder could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Der Zielordner konnte nicht geöffnet werden: Es ist kein Programm zum Öffnen eingerichtet.
%1</translation>
    </message>
    <message>
        <source>PDF File : %1</source>
        <translation>PDF-Datei: %1</translation>
    </message>
    <message>
        <source>Please wait... Reading Image Information...</source>
        <translation>Bitte warten... Lese Informationen...</translation>
    </message>
    <message>
        <source>Extracted Attachment(s) %1 (of %2)</source>
        <translation>Extrahierte Anhänge %1 (von %2)</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>%1 of %2, %3/s</source>
        <translation>%1 von %2, %3/s</translation>
    </message>
</context>
</TS>
