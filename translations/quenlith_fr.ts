<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>quenlith::AttachmentActions</name>
    <message>
        <source>Open</source>
        <translation>Ouvrir</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Enregistrer sous...</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message>
        <source>Open &quot;%1&quot; with the program your desktop opens such files with?

Files attached to documents can harm your computer, as mail attachments can: open only those from a source you trust.</source>
        <translation>Ouvrir « %1 » avec le programme que votre bureau utilise pour ce type de fichier ?

Les fichiers joints aux documents peuvent nuire à votre ordinateur, comme les pièces jointes des courriels : n&apos;ouvrez que ceux qui proviennent d&apos;une source de confiance.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: no temporary folder could be created (%2).</source>
        <translation>Impossible d&apos;ouvrir « %1 » : aucun dossier temporaire n&apos;a pu être créé (%2).</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: %2.</source>
        <translation>Impossible d&apos;ouvrir « %1 » : %2.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be opened: the desktop has no program to open it with.</source>
        <translation>Impossible d&apos;ouvrir « %1 » : le bureau n&apos;a aucun programme pour l&apos;ouvrir.</translation>
    </message>
    <message>
        <source>Save Attachment As</source>
        <translation>Enregistrer la pièce jointe sous</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was saved, but its data disagrees with what the document declares: %2.</source>
        <translation>« %1 » a été enregistré, mais ses données ne correspondent pas à ce que déclare le document : %2.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; could not be saved: %2.
A file that was there is left as it was.</source>
        <translation>Impossible d&apos;enregistrer « %1 » : %2.
Un fichier déjà présent est laissé tel quel.</translation>
    </message>
    <message>
        <source>The folder could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Impossible d&apos;ouvrir le dossier : le bureau n&apos;a aucun programme pour l&apos;ouvrir.
%1</translation>
    </message>
</context>
<context>
    <name>quenlith::AttachmentLine</name>
    <message>
        <source>attached to page %1</source>
        <translation>jointe à la page %1</translation>
    </message>
    <message>
        <source>associated file of the document</source>
        <translation>fichier associé du document</translation>
    </message>
    <message>
        <source>associated file of %1</source>
        <translation>fichier associé de %1</translation>
    </message>
    <message>
        <source>in the portfolio</source>
        <translation>dans le portfolio</translation>
    </message>
    <message>
        <source>in portfolio folder %1</source>
        <translation>dans le dossier de portfolio %1</translation>
    </message>
    <message>
        <source>not listed by the document</source>
        <translation>non répertoriée par le document</translation>
    </message>
    <message>
        <source>attached to the document</source>
        <translation>jointe au document</translation>
    </message>
    <message>
        <source>%1 order</source>
        <translation>commande %1</translation>
    </message>
    <message>
        <source>%1 invoice</source>
        <translation>facture %1</translation>
    </message>
    <message>
        <source>size not declared</source>
        <translation>taille non déclarée</translation>
    </message>
    <message>
        <source>invoice file: %1</source>
        <translation>fichier de facture : %1</translation>
    </message>
    <message numerus="yes">
        <source>%n byte(s)</source>
        <translation>
            <numerusform>%n octet</numerusform>
            <numerusform>%n octets</numerusform>
        </translation>
    </message>
    <message>
        <source>%1.%2 KiB</source>
        <translation>%1,%2 Kio</translation>
    </message>
    <message>
        <source>%1.%2 MiB</source>
        <translation>%1,%2 Mio</translation>
    </message>
    <message>
        <source>%1.%2 GiB</source>
        <translation>%1,%2 Gio</translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentList</name>
    <message numerus="yes">
        <source>%n added document(s) already in the list.</source>
        <translation>
            <numerusform>%n document ajouté figurait déjà dans la liste.</numerusform>
            <numerusform>%n documents ajoutés figuraient déjà dans la liste.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n PDF Documents Added</source>
        <translation>
            <numerusform>%n document PDF ajouté</numerusform>
            <numerusform>%n documents PDF ajoutés</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentListModel</name>
    <message>
        <source>cannot be opened</source>
        <translation>ne peut pas être ouvert</translation>
    </message>
    <message>
        <source>The document could not be opened.</source>
        <translation>Le document n&apos;a pas pu être ouvert.</translation>
    </message>
    <message>
        <source>repaired: attachments may be missing</source>
        <translation>réparé : des pièces jointes peuvent manquer</translation>
    </message>
    <message>
        <source>repaired</source>
        <translation>réparé</translation>
    </message>
    <message>
        <source>damaged</source>
        <translation>endommagé</translation>
    </message>
    <message>
        <source>The attachments could not be read: %1</source>
        <translation>Les pièces jointes n&apos;ont pas pu être lues : %1</translation>
    </message>
    <message numerus="yes">
        <source>... and %n more</source>
        <translation>
            <numerusform>... et %n autre</numerusform>
            <numerusform>... et %n autres</numerusform>
        </translation>
    </message>
    <message>
        <source>Attachments</source>
        <translation>Pièces j.</translation>
    </message>
    <message>
        <source>PDF Document Name</source>
        <translation>Nom du document PDF</translation>
    </message>
    <message>
        <source>PDF Document Path</source>
        <translation>Chemin du document PDF</translation>
    </message>
    <message numerus="yes">
        <source>%n embedded file(s) that the document does not list are not extracted; quenlith-cli extract --unlisted writes them.</source>
        <translation>
            <numerusform>%n fichier incorporé que le document ne répertorie pas n&apos;est pas extrait ; quenlith-cli extract --unlisted l&apos;écrit.</numerusform>
            <numerusform>%n fichiers incorporés que le document ne répertorie pas ne sont pas extraits ; quenlith-cli extract --unlisted les écrit.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::DocumentListView</name>
    <message>
        <source>Documents can be added with the buttons above or dropped on the list.</source>
        <translation>Ajoutez des documents avec les boutons ci-dessus ou déposez-les sur la liste.</translation>
    </message>
</context>
<context>
    <name>quenlith::FolderPickerDialog</name>
    <message>
        <source>The folder %1 could not be created.</source>
        <translation>Le dossier %1 n&apos;a pas pu être créé.</translation>
    </message>
</context>
<context>
    <name>quenlith::OutputFolderPicker</name>
    <message>
        <source>The output folder is inside a folder you added documents from; extracted PDF files would be found there the next time the folder is added. Extract there anyway?</source>
        <translation>Le dossier de destination se trouve dans un dossier d&apos;où vous avez ajouté des documents ; les fichiers PDF extraits y seraient retrouvés la prochaine fois que ce dossier sera ajouté. Extraire là quand même ?</translation>
    </message>
    <message>
        <source>Choose Folder to Save...</source>
        <translation>Choisir le dossier de destination...</translation>
    </message>
</context>
<context>
    <name>quenlith::PasswordDialog</name>
    <message>
        <source>The password given does not open %1. Please try again.</source>
        <translation>Le mot de passe saisi n&apos;ouvre pas %1. Veuillez réessayer.</translation>
    </message>
    <message>
        <source>%1 needs a password to be opened.</source>
        <translation>%1 nécessite un mot de passe pour être ouvert.</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Use for all remaining documents</source>
        <translation>Utiliser pour tous les documents restants</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Ouvrir</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Ignorer</translation>
    </message>
</context>
<context>
    <name>quenlith::RunCompletion</name>
    <message>
        <source>PDF Attachments Extraction - Completed !</source>
        <translation>Extraction des pièces jointes PDF - Terminée !</translation>
    </message>
    <message numerus="yes">
        <source>PDF Attachments Extraction - Cancelled !
Cancelled after %1 of %2 documents; %n attachment(s) written before the stop.</source>
        <translation>
            <numerusform>Extraction des pièces jointes PDF - Annulée !
Annulée après %1 documents sur %2 ; %n pièce jointe écrite avant l&apos;arrêt.</numerusform>
            <numerusform>Extraction des pièces jointes PDF - Annulée !
Annulée après %1 documents sur %2 ; %n pièces jointes écrites avant l&apos;arrêt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) renamed because the document holds several files of the same name.</source>
        <translation>
            <numerusform>%n pièce jointe a été renommée car son document contient un autre fichier du même nom.</numerusform>
            <numerusform>%n pièces jointes ont été renommées car le document contient plusieurs fichiers du même nom.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) written under a new name because a file with other content was already there.</source>
        <translation>
            <numerusform>%n pièce jointe a été écrite sous un nouveau nom car un fichier au contenu différent existait déjà.</numerusform>
            <numerusform>%n pièces jointes ont été écrites sous un nouveau nom car des fichiers au contenu différent existaient déjà.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) already there unchanged.</source>
        <translation>
            <numerusform>%n pièce jointe était déjà présente, inchangée.</numerusform>
            <numerusform>%n pièces jointes étaient déjà présentes, inchangées.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) skipped when the password was asked for.</source>
        <translation>
            <numerusform>%n document a été ignoré lors de la demande de mot de passe.</numerusform>
            <numerusform>%n documents ont été ignorés lors de la demande de mot de passe.</numerusform>
        </translation>
    </message>
    <message>
        <source>Output folder: %1</source>
        <translation>Dossier de destination : %1</translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed (%1 failed)</source>
        <translation>
            <numerusform>%n document traité (%1 en échec)</numerusform>
            <numerusform>%n documents traités (%1 en échec)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) processed</source>
        <translation>
            <numerusform>%n document traité</numerusform>
            <numerusform>%n documents traités</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>, %n attachment(s) written (%1)</source>
        <translation>
            <numerusform>, %n pièce jointe écrite (%1)</numerusform>
            <numerusform>, %n pièces jointes écrites (%1)</numerusform>
        </translation>
    </message>
    <message>
        <source>, %1 unchanged</source>
        <translation>, inchangées : %1</translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation>, en échec : %1</translation>
    </message>
    <message>
        <source>JSON report (*.json)</source>
        <translation>Rapport JSON (*.json)</translation>
    </message>
    <message>
        <source>CSV report (*.csv)</source>
        <translation>Rapport CSV (*.csv)</translation>
    </message>
    <message>
        <source>Save Report</source>
        <translation>Enregistrer le rapport</translation>
    </message>
    <message>
        <source>The report could not be saved: %1</source>
        <translation>Le rapport n&apos;a pas pu être enregistré : %1</translation>
    </message>
    <message>
        <source>Save Report...</source>
        <translation>Enregistrer le rapport...</translation>
    </message>
</context>
<context>
    <name>quenlith::RunDetailsText</name>
    <message>
        <source>%1: %2</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>%1, %2: %3</source>
        <translation>%1, %2 : %3</translation>
    </message>
    <message>
        <source>skipped: Skip was chosen when its password was asked for</source>
        <translation>ignoré : « Ignorer » a été choisi lorsque son mot de passe a été demandé</translation>
    </message>
    <message>
        <source>not extracted: %1</source>
        <translation>non extrait : %1</translation>
    </message>
    <message>
        <source>stopped by Cancel</source>
        <translation>arrêté par « Annuler »</translation>
    </message>
    <message>
        <source>renamed: %1 → %2 (another attachment has its name): %3</source>
        <translation>renommée : %1 → %2 (une autre pièce jointe porte ce nom) : %3</translation>
    </message>
    <message>
        <source>renamed: %1 → %2 (a file with other content was there): %3</source>
        <translation>renommée : %1 → %2 (un fichier au contenu différent existait déjà) : %3</translation>
    </message>
    <message>
        <source>unchanged: %1 (the same file was already there): %2</source>
        <translation>inchangée : %1 (le même fichier existait déjà) : %2</translation>
    </message>
    <message>
        <source>skipped: %1 (%2): %3</source>
        <translation>ignorée : %1 (%2) : %3</translation>
    </message>
    <message>
        <source>not written: %1 (stopped by Cancel): %2</source>
        <translation>non écrite : %1 (arrêtée par « Annuler ») : %2</translation>
    </message>
    <message>
        <source>failed: %1 (%2): %3</source>
        <translation>échec : %1 (%2) : %3</translation>
    </message>
    <message numerus="yes">
        <source>%n document(s) could not be extracted:</source>
        <translation>
            <numerusform>%n document n&apos;a pas pu être extrait :</numerusform>
            <numerusform>%n documents n&apos;ont pas pu être extraits :</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n attachment(s) could not be written or failed their checksum:</source>
        <translation>
            <numerusform>%n pièce jointe n&apos;a pas pu être écrite ou sa somme de contrôle est incorrecte :</numerusform>
            <numerusform>%n pièces jointes n&apos;ont pas pu être écrites ou leur somme de contrôle est incorrecte :</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>and %n more (see the details).</source>
        <translation>
            <numerusform>et %n de plus (voir les détails).</numerusform>
            <numerusform>et %n de plus (voir les détails).</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quenlith::frmStep1</name>
    <message>
        <source>Out of memory</source>
        <translation>Mémoire insuffisante</translation>
    </message>
    <message>
        <source>Adobe PDF Files (*.pdf)</source>
        <translation>Fichiers Adobe PDF (*.pdf)</translation>
    </message>
    <message numerus="yes">
        <source>%n PDF Documents Added to List.</source>
        <translation>
            <numerusform>%n document PDF ajouté à la liste.</numerusform>
            <numerusform>%n documents PDF ajoutés à la liste.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n folder(s) could not be read:</source>
        <translation>
            <numerusform>%n dossier n&apos;a pas pu être lu :</numerusform>
            <numerusform>%n dossiers n&apos;ont pas pu être lus :</numerusform>
        </translation>
    </message>
    <message>
        <source>and %1 more (see the details).</source>
        <translation>et %1 de plus (voir les détails).</translation>
    </message>
    <message numerus="yes">
        <source>%n dropped file(s) ignored: the name does not end in &quot;.pdf&quot;.</source>
        <translation>
            <numerusform>%n fichier déposé a été ignoré : son nom ne se termine pas par « .pdf ».</numerusform>
            <numerusform>%n fichiers déposés ont été ignorés : leur nom ne se termine pas par « .pdf ».</numerusform>
        </translation>
    </message>
    <message>
        <source>Choose Source Folder...</source>
        <translation>Choisir le dossier source...</translation>
    </message>
    <message>
        <source>0 files</source>
        <translation>0 fichier</translation>
    </message>
    <message>
        <source>Are you sure you want to exit now?</source>
        <translation>Voulez-vous vraiment quitter maintenant ?</translation>
    </message>
    <message>
        <source>Error %1: %2</source>
        <translation>Erreur %1 : %2</translation>
    </message>
    <message>
        <source>The manual could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Le manuel n&apos;a pas pu être ouvert : aucun programme n&apos;est configuré pour l&apos;ouvrir.
%1</translation>
    </message>
    <message>
        <source>The manual could not be found. It was looked for in:
</source>
        <translation>Le manuel est introuvable. Il a été cherché dans :
</translation>
    </message>
    <message>
        <source>Add PDF File(s)...</source>
        <translation>Ajouter des PDF...</translation>
    </message>
    <message>
        <source>Add Folder having PDF File(s)...</source>
        <translation>Ajouter un dossier de PDF...</translation>
    </message>
    <message>
        <source>Clear File(s)...</source>
        <translation>Vider la liste...</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Also extract from attached PDF documents</source>
        <translation>Extraire aussi des documents PDF joints</translation>
    </message>
    <message>
        <source>The attachments of an attachment that is itself a PDF document go into a folder &quot;&lt;name&gt;.attachments&quot; beside it, up to 8 levels deep.</source>
        <translation>Les pièces jointes d&apos;une pièce jointe qui est elle-même un document PDF vont dans un dossier « &lt;nom&gt;.attachments » à côté d&apos;elle, jusqu&apos;à 8 niveaux de profondeur.</translation>
    </message>
    <message>
        <source> Extraction Details </source>
        <translation> Détails de l&apos;extraction </translation>
    </message>
    <message>
        <source>PDF File &lt;pdf-file&gt;</source>
        <translation>Fichier PDF &lt;pdf-file&gt;</translation>
    </message>
    <message>
        <source>Extraction Progress : </source>
        <translation>Progression : </translation>
    </message>
    <message>
        <source>&amp;Extract Attachments</source>
        <translation>&amp;Extraire les fichiers</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>&amp;Help Manual</source>
        <translation>&amp;Manuel</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>PDF Documents</source>
        <translation>Documents PDF</translation>
    </message>
    <message>
        <source>PDF File</source>
        <translation>Fichier PDF</translation>
    </message>
    <message>
        <source>Extracted Attachment(s)</source>
        <translation>Pièces jointes extraites</translation>
    </message>
    <message>
        <source>Please wait... Reading %1...</source>
        <translation>Veuillez patienter... Lecture de %1...</translation>
    </message>
    <message>
        <source>The output folder could not be opened: the desktop has no program to open it with.
%1</source>
        <translation>Le dossier de destination n&apos;a pas pu être ouvert : aucun programme n&apos;est configuré pour l&apos;ouvrir.
%1</translation>
    </message>
    <message>
        <source>PDF File : %1</source>
        <translation>Fichier PDF : %1</translation>
    </message>
    <message>
        <source>Please wait... Reading Image Information...</source>
        <translation>Veuillez patienter... Lecture des informations...</translation>
    </message>
    <message>
        <source>Extracted Attachment(s) %1 (of %2)</source>
        <translation>Pièces jointes extraites %1 (sur %2)</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <source>%1 of %2, %3/s</source>
        <translation>%1 sur %2, %3/s</translation>
    </message>
</context>
</TS>
