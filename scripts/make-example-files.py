#!/usr/bin/env python3
"""Writes the example package's generated files: the two language files (all
interface texts), the 130 x 300 side image splash.tga (24-bit, uncompressed,
bottom-first rows) and header.ico (32 x 32, 32 bits per pixel). Run once from
the repository root; the results are committed."""
import struct

T, V = 'Acme Demo', '2.1'
english = [
 ('Install', [('Msg1','Copy Program Files'),('Msg2','Create Desktop Icon'),('Msg3','Create Startmenu Shortcuts'),
   ('Msg5','Create Uninstaller Entry'),('Msg6','Create additional Links'),('Ready','Completed'),('Help','Help'),('Failed','Failed')]),
 ('Page01', [('Titel',f"Welcome to the installation of '{T}'"),('Msg1',f"Brindorel will now install '{T}' version {V} on your computer."),
   ('Msg2',"Click 'Next' to continue installation."),('Msg3','Please close all other applications before continuing.'),
   ('CopyRight','This program is protected by copyright.')]),
 ('Page02', [('Titel','Licence Agreement'),('Msg','Please read the following information before continuing.'),
   ('AcceptYes','I accept the agreement'),('AcceptNo','I do not accept the agreement')]),
 ('Page03', [('Titel','Setup Settings'),('Msg','Installation Directory, StartMenu Folder and Desktop Icon'),
   ('ProgDir','Install program in this directory:'),('MenuDir','StartMenu folder for Program Shortcuts:'),('DesktopIcon','Create a desktop icon')]),
 ('Page04', [('Titel','Information'),('Msg','A short description of the program')]),
 ('Page05', [('Titel1',f"Installation of '{T}'"),('Titel2','Installation finished'),('Msg',"Click 'Install' to start installation!"),
   ('Install',f"Install Program '{T}'"),('RunProg','Start program after closing Brindorel.'),('Ready','Installation completed')]),
 ('Requester', [('RQ1_Titel','Select Start Menu Folder'),('RQ1_Msg','No valid start menu folder.'),('RQ2_Titel','Please select a directory'),
   ('RQ3_Titel','Select Directory'),('RQ4_Titel','Brindorel - Warning'),('RQ4_Msg',"Close Program '$Titel' first!"),('RQ4_Msg2','Then press OK!')]),
 ('Buttons', [('Next','Next'),('Back','Back'),('Apply','Apply'),('Cancel','Cancel'),('Change','Change'),('Install','Install'),('Finish','Finish')]),
 ('Uninstaller', [('Titel','Uninstall program'),('Msg','Program files and registry entries will be removed.'),
   ('UninstInfo','Remove the following program from your computer:'),('DelAll','Delete all(!) files in the directory (including your own files).'),
   ('Error','Uninstalling the program is not possible.'),('Error2',"Could not find 'uninstall.dat':"),('Status','Uninstalling ...'),
   ('OK','OK'),('Cancel','Cancel'),('Ready','Uninstalling completed.')]),
]
german = [
 ('Install', [('Msg1','Programmdateien kopieren'),('Msg2','Desktop-Symbol anlegen'),('Msg3','Startmenü-Verknüpfungen anlegen'),
   ('Msg5','Deinstallationseintrag anlegen'),('Msg6','Weitere Verknüpfungen anlegen'),('Ready','Fertig'),('Help','Hilfe'),('Failed','Fehlgeschlagen')]),
 ('Page01', [('Titel',f"Willkommen zur Installation von '{T}'"),('Msg1',f"Brindorel installiert jetzt '{T}' Version {V} auf Ihrem Computer."),
   ('Msg2',"Klicken Sie auf 'Weiter', um fortzufahren."),('Msg3','Bitte schließen Sie alle anderen Anwendungen, bevor Sie fortfahren.'),
   ('CopyRight','Dieses Programm ist urheberrechtlich geschützt.')]),
 ('Page02', [('Titel','Lizenzvereinbarung'),('Msg','Bitte lesen Sie die folgenden Informationen, bevor Sie fortfahren.'),
   ('AcceptYes','Ich akzeptiere die Vereinbarung'),('AcceptNo','Ich akzeptiere die Vereinbarung nicht')]),
 ('Page03', [('Titel','Einstellungen'),('Msg','Installationsordner, Startmenü-Ordner und Desktop-Symbol'),
   ('ProgDir','Programm in diesen Ordner installieren:'),('MenuDir','Startmenü-Ordner für die Verknüpfungen:'),('DesktopIcon','Desktop-Symbol anlegen')]),
 ('Page04', [('Titel','Information'),('Msg','Eine kurze Beschreibung des Programms')]),
 ('Page05', [('Titel1',f"Installation von '{T}'"),('Titel2','Installation abgeschlossen'),('Msg',"Klicken Sie auf 'Installieren', um zu beginnen!"),
   ('Install',f"Installiere Programm '{T}'"),('RunProg','Programm nach dem Schließen von Brindorel starten.'),('Ready','Installation abgeschlossen')]),
 ('Requester', [('RQ1_Titel','Startmenü-Ordner wählen'),('RQ1_Msg','Kein gültiger Startmenü-Ordner.'),('RQ2_Titel','Bitte wählen Sie einen Ordner'),
   ('RQ3_Titel','Ordner wählen'),('RQ4_Titel','Brindorel - Warnung'),('RQ4_Msg',"Schließen Sie zuerst das Programm '$Titel'!"),('RQ4_Msg2','Dann drücken Sie OK!')]),
 ('Buttons', [('Next','Weiter'),('Back','Zurück'),('Apply','Übernehmen'),('Cancel','Abbrechen'),('Change','Ändern'),('Install','Installieren'),('Finish','Fertig')]),
 ('Uninstaller', [('Titel','Programm deinstallieren'),('Msg','Programmdateien und Registry-Einträge werden entfernt.'),
   ('UninstInfo','Folgendes Programm von Ihrem Computer entfernen:'),('DelAll','Alle(!) Dateien im Ordner löschen (auch eigene Dateien).'),
   ('Error','Deinstallation nicht möglich.'),('Error2',"'uninstall.dat' nicht gefunden:"),('Status','Deinstalliere ...'),
   ('OK','OK'),('Cancel','Abbrechen'),('Ready','Deinstallation abgeschlossen.')]),
]

def lng(name, groups, language):
    lines = [f'; Brindorel interface texts: {language}']
    for g, keys in groups:
        lines.append(f'[{g}]')
        lines += [f'{k}={v}' for k, v in keys]
    open(f'examples/acme-demo/{name}', 'wb').write(('\r\n'.join(lines) + '\r\n').encode('cp1252'))

lng('english.lng', english, 'English')
lng('german.lng', german, 'Deutsch')

# Side image: a vertical blue gradient with a light diagonal band and a white
# box near the top; asymmetric, so a flipped or mirrored image is noticed.
W, H = 130, 300
rows = []
for y in range(H):  # y from the top
    row = bytearray()
    for x in range(W):
        t = y / (H - 1)
        b, g, r = int(150 + 80 * t), int(70 + 60 * t), int(20 + 30 * t)
        if abs((x - y * 0.4) - 20) < 6: b, g, r = 240, 220, 190
        if 20 <= x < 60 and 20 <= y < 45: b, g, r = 255, 255, 255
        row += bytes((b, g, r))
    rows.append(bytes(row))
header = struct.pack('<BBBHHBHHHHBB', 0, 0, 2, 0, 0, 0, 0, 0, W, H, 24, 0)
open('examples/acme-demo/splash.tga', 'wb').write(header + b''.join(reversed(rows)))

# Header icon: an orange disc with a dark ring, transparent corners.
N = 32
px = []
for y in range(N):
    row = []
    for x in range(N):
        d = ((x + 0.5 - N / 2) ** 2 + (y + 0.5 - N / 2) ** 2) ** 0.5
        if d > 15: row.append((0, 0, 0, 0))
        elif d > 12.5: row.append((40, 40, 90, 255))
        else: row.append((30, 140, 250, 255))
    px.append(row)
bmp = struct.pack('<IiiHHIIiiII', 40, N, 2 * N, 1, 32, 0, 0, 0, 0, 0, 0)
bmp += b''.join(bytes(c) for row in reversed(px) for c in row)
for row in reversed(px):
    m = bytearray(4)
    for x, c in enumerate(row):
        if c[3] == 0: m[x // 8] |= 0x80 >> (x % 8)
    bmp += bytes(m)
ico = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', N, N, 0, 0, 1, 32, len(bmp), 22) + bmp
open('examples/acme-demo/header.ico', 'wb').write(ico)
