<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>quenlith::AttachmentLine</name>
    <message numerus="yes">
        <source>%n byte(s)</source>
        <translation>
            <numerusform>%n byte</numerusform>
            <numerusform>%n bytes</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentList</name>
    <message numerus="yes">
        <source>%n added document(s) already in the list.</source>
        <translation>
            <numerusform>%n added document was already in the list.</numerusform>
            <numerusform>%n added documents were already in the list.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n PDF Documents Added</source>
        <translation>
            <numerusform>%n PDF Documents Added</numerusform>
            <numerusform>%n PDF Documents Added</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentListModel</name>
    <message numerus="yes">
        <source>... and %n more</source>
        <translation>
            <numerusform>... and %n more</numerusform>
            <numerusform>... and %n more</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n embedded file(s) that the document does not list are not extracted; quenlith-cli extract --unlisted writes them.</source>
        <translation>
            <numerusform>%n embedded file that the document does not list is not extracted; quenlith-cli extract --unlisted writes it.</numerusform>
            <numerusform>%n embedded files that the document does not list are not extracted; quenlith-cli extract --unlisted writes them.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::RunCompletion</name>
    <message numerus="yes">
        <source>PDF Attachments Extraction - Cancelled !
Cancelled after %1 of %2 documents; %n attachment(s) written before the stop.</source>
        <translation>
            <numerusform>PDF Attachments Extraction - Cancelled !
Cancelled after %1 of %2 documents; %n attachment was written before the stop.</numerusform>
            <numerusform>PDF Attachments Extraction - Cancelled !
Cancelled after %1 of %2 documents; %n attachments were written before the stop.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) renamed because the document holds several files of the same name.</source>
        <translation>
            <numerusform>%n attachment was renamed because its document holds another file of the same name.</numerusform>
            <numerusform>%n attachments were renamed because the document holds several files of the same name.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) written under a new name because a file with other content was already there.</source>
        <translation>
            <numerusform>%n attachment was written under a new name because a file with other content was already there.</numerusform>
            <numerusform>%n attachments were written under a new name because a file with other content was already there.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) already there unchanged.</source>
        <translation>
            <numerusform>%n attachment was already there unchanged.</numerusform>
            <numerusform>%n attachments were already there unchanged.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) skipped when the password was asked for.</source>
        <translation>
            <numerusform>%n document was skipped when its password was asked for.</numerusform>
            <numerusform>%n documents were skipped when their password was asked for.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed (%1 failed)</source>
        <translation>
            <numerusform>%n document processed (%1 failed)</numerusform>
            <numerusform>%n documents processed (%1 failed)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed</source>
        <translation>
            <numerusform>%n document processed</numerusform>
            <numerusform>%n documents processed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n attachment(s) written (%1)</source>
        <translation>
            <numerusform>, %n attachment written (%1)</numerusform>
            <numerusform>, %n attachments written (%1)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::RunDetailsText</name>
    <message numerus="yes">
        <source>%n document(s) could not be extracted:</source>
        <translation>
            <numerusform>%n document could not be extracted:</numerusform>
            <numerusform>%n documents could not be extracted:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) could not be written or failed their checksum:</source>
        <translation>
            <numerusform>%n attachment could not be written or failed its checksum:</numerusform>
            <numerusform>%n attachments could not be written or failed their checksum:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>and %n more (see the details).</source>
        <translation>
            <numerusform>and %n more (see the details).</numerusform>
            <numerusform>and %n more (see the details).</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::frmStep1</name>
    <message numerus="yes">
        <source>%n PDF Documents Added to List.</source>
        <translation>
            <numerusform>%n PDF Documents Added to List.</numerusform>
            <numerusform>%n PDF Documents Added to List.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folder(s) could not be read:</source>
        <translation>
            <numerusform>%n folder could not be read:</numerusform>
            <numerusform>%n folders could not be read:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n dropped file(s) ignored: the name does not end in &quot;.pdf&quot;.</source>
        <translation>
            <numerusform>%n dropped file was ignored: its name does not end in &quot;.pdf&quot;.</numerusform>
            <numerusform>%n dropped files were ignored: their names do not end in &quot;.pdf&quot;.</numerusform>
        </translation>
    </message>
</context>
</TS>
