"""Word and name tables the synthetic disk tree draws its names from.

The generators pick from these lists by index, so the order of every list is part of the data
sets' identity: reordering, adding or removing an item changes every benchmark file made
afterwards. Extend them only together with the figures in bench/README.md.
"""

WORDS = ("love night day heart fire rain river blue black white red golden silver "
         "dream road home city light dark summer winter spring autumn girl boy moon "
         "sun star sky ocean wind storm stone paper glass train highway angel devil "
         "money time world song dance party holiday island mountain garden window "
         "door letter memory shadow ghost king queen soldier sister brother mother "
         "father baby child friend stranger secret promise echo thunder lightning "
         "midnight morning evening sunset sunrise horizon desert forest jungle street "
         "avenue boulevard paradise heaven hell wild free lonely crazy sweet bitter "
         "broken happy sad electric magic cosmic neon velvet crystal diamond iron "
         "steel rock roll blues soul funk groove rhythm beat melody harmony").split()
WORDS_DE = ("Liebe Nacht Tag Herz Feuer Regen Fluss Sommer Winter Straße Größe Mädchen "
            "Über Brücke Schön Grün Hölle Träume Märchen Müller Köln München Zürich "
            "Frühling Weiß Schwarz Glück Flügel").split()
WORDS_FR = ("amour nuit jour cœur été hiver rêve fenêtre château forêt île "
            "chanson écho élève café crème naïve déjà vu").split()
WORDS_X = ("Москва любовь ночь 東京 愛 夜 音楽 Αθήνα θάλασσα Kraków Łódź Ørsted "
           "Ærø São Paulo Señor Niño Ñandú İstanbul").split()

ARTISTS = ["The Beatles", "Led Zeppelin", "Pink Floyd", "Queen", "Guns N' Roses",
           "Motörhead", "Björk", "Sigur Rós", "Mötley Crüe", "Blue Öyster Cult",
           "Beyoncé", "Daft Punk", "Kraftwerk", "Die Ärzte", "Rammstein",
           "Édith Piaf", "Sinéad O'Connor", "Simon & Garfunkel", "Earth, Wind & Fire",
           "Hall & Oates", "Nirvana", "Radiohead", "Metallica", "Iron Maiden",
           "Deep Purple", "The Rolling Stones", "Bob Dylan", "Miles Davis",
           "John Coltrane", "Ella Fitzgerald", "Johann Sebastian Bach",
           "Wolfgang Amadeus Mozart", "Пётр Чайковский", "坂本龍一", "Yōko Kanno",
           "Café Tacvba", "ABBA", "Roxette", "a-ha", "Portishead", "Massive Attack",
           "Moby", "Dr. Dre", "Run-D.M.C.", "R.E.M.", "U2", "t.A.T.u.", "Boney M.",
           "Wham!", "The Who", "Red Hot Chili Peppers", "Rock Steady Crew",
           "Bachman-Turner Overdrive", "Emerson, Lake & Palmer", "Crosby, Stills & Nash",
           "Florence + the Machine", "Mumford & Sons", "Iggy & the Stooges",
           "Ensiferum", "Mägo de Oz", "Hüsker Dü", "Motörpsycho", "Sepultura",
           "Los Lobos", "Buena Vista Social Club", "Ravi Shankar", "Fela Kuti"]
GENRES = ["Rock", "Hard Rock", "Punk Rock", "Classic Rock", "Indie Rock", "Pop", "Jazz",
          "Blues", "Klassik", "Classical", "Electronic", "Électro", "Hip-Hop",
          "Soul & Funk", "Metal", "Reggae", "Country", "Soundtracks", "Hörspiele",
          "World", "Chanson", "J-Pop", "Schlager", "Rock 'n' Roll", "Singer-Songwriter",
          "Ambient", "Drum & Bass", "Latin", "Gospel", "Kinderlieder"]
EVENTS = ["Urlaub Mallorca", "Weihnachten", "Hochzeit Anna & Tom", "Sommerfest",
          "Paris – Tour Eiffel", "京都旅行", "Geburtstag Oma", "Skiurlaub", "Zoo",
          "Garden", "Beach", "Birthday party", "Graduation", "New York", "Roadtrip",
          "Camping", "Konzert", "Taufe", "Kindergarten", "First day at school",
          "Thanksgiving", "Silvester", "Fête de la musique", "Barcelona", "Praha",
          "Москва", "Hiking Alps", "Wedding", "Baby", "Misc", "Scans", "Dad's 60th",
          "\"Best\" shots", "Christmas market", "Oktoberfest", "Ostern"]
DOC_DIRS = ["Finanzen", "Steuer", "Rechnungen", "Verträge", "Work", "Projects", "Uni",
            "Bewerbungen", "Letters", "Recipes", "Manuals", "Scans", "Misc", "Old",
            "Archive", "Kunden", "Customer A & B", "Private", "Résumés", "Courses",
            "Notes", "履歴書", "Документы", "Taxes", "Insurance", "Car", "House", "Kids",
            "Health", "Travel", "Receipts", "Drafts", "New Folder", "Copy of Drafts",
            "Templates", "Presentations", "Meeting notes", "Q1", "Q2", "Q3", "Q4",
            "Marketing", "Sales", "HR", "Legal", "Research", "Thesis", "Papers",
            "Lectures", "Exams", "Bank", "Versicherung", "Arzt", "Schule", "Verein"]
DOC_STEMS = ["Report", "Rechnung", "Angebot", "Invoice", "Letter", "Brief", "Budget",
             "Protokoll", "Minutes", "Notes", "Lebenslauf", "CV", "Contract", "Vertrag",
             "Kündigung", "Presentation", "Summary", "Thesis", "Chapter", "Draft",
             "Memo", "Schedule", "Plan", "Inventory", "Checklist", "Manual", "Handbuch",
             "Quote", "Statement", "Kontoauszug", "Steuererklärung", "Mahnung",
             "Bewerbung", "Zeugnis", "Urkunde", "Formular", "Antrag", "Bescheid",
             "Rezept", "Recipe", "Einkaufsliste", "todo", "readme", "notes"]
DOC_EXT = [("doc", 20), ("docx", 12), ("pdf", 25), ("xls", 8), ("xlsx", 6), ("txt", 10),
           ("rtf", 3), ("odt", 3), ("ppt", 3), ("pptx", 3), ("csv", 3), ("eml", 2),
           ("msg", 1), ("zip", 2), ("html", 2), ("", 1)]
MOVIES = ["The Matrix", "Amélie", "Léon", "Das Boot", "Der Untergang", "Alien",
          "Blade Runner", "Spirited Away", "千と千尋の神隠し", "Pulp Fiction",
          "Lock, Stock & Two Smoking Barrels", "Fast & Furious", "Tom & Jerry",
          "Harry Potter and the Philosopher's Stone", "Schindler's List",
          "La vita è bella", "Cidade de Deus", "Le fabuleux destin", "Fargo",
          "Casablanca", "Metropolis", "Solaris", "Сталкер", "Heat", "Jaws",
          "Back to the Future", "Star Wars", "Dr. Strangelove", "M*A*S*H"]
SERIES = ["Friends", "Lost", "The Office", "Breaking Bad", "Twin Peaks",
          "Star Trek - The Next Generation", "Dr. Who", "Tatort", "Die Sendung mit der Maus",
          "Columbo", "Law & Order", "The X-Files", "Babylon 5", "Monk", "House M.D."]
VENDORS = ["Microsoft", "Adobe", "Mozilla", "Drivers", "Games", "Linux ISOs", "Tools",
           "Utilities", "Nero", "Corel", "Macromedia", "Symantec", "NVIDIA", "ATI",
           "Creative", "Logitech", "Borland", "Oracle", "Apple", "VMware"]
PRODUCTS = ["Office 2003", "Office XP", "Photoshop CS2", "Acrobat Reader 7", "Firefox 3.6",
            "Thunderbird 2", "Visual Studio 6", "Nero Burning ROM 6", "Norton Ghost",
            "ForceWare 257.21", "Catalyst 10.2", "SoundBlaster Live!", "Delphi 7",
            "VMware Workstation 6", "QuickTime 7", "iTunes 10", "WinRAR", "7-Zip",
            "Total Commander", "IrfanView", "ubuntu-10.04", "debian-6.0", "Knoppix 5.1",
            "Windows XP SP3", "Half-Life 2", "Die Siedler II", "Diablo II", "SimCity 4"]
CODE_DIRS = ["src", "include", "lib", "test", "tests", "docs", "build", "tools", "core",
             "util", "net", "io", "gui", "model", "view", "controller", "parser", "db",
             "common", "impl", "internal", "api", "resources", "images", "scripts",
             "com", "example", "app", "main", "java", "res", "layout", "values"]
CODE_FILES = ["main", "util", "parser", "lexer", "config", "window", "dialog", "model",
              "view", "controller", "database", "network", "socket", "thread", "string",
              "buffer", "list", "tree", "hash", "file", "path", "index", "search",
              "catalog", "scanner", "reader", "writer", "xml", "json", "http", "test"]
CODE_EXT = [("c", 12), ("h", 14), ("cpp", 14), ("hpp", 4), ("py", 8), ("java", 8),
            ("js", 6), ("o", 8), ("html", 2), ("css", 2), ("sh", 2), ("txt", 2),
            ("xml", 3), ("json", 2), ("cs", 3), ("pas", 2)]
BACKUP_DIRS = ["Backup 2003-05-01", "Backup Laptop alt", "Sicherung", "USB-Stick Kopie",
               "Old PC", "Desktop", "Eigene Dateien", "My Documents", "Home", "Copy",
               "Restore", "Recovered files", "Dokumente und Einstellungen", "Ablage"]
SPECIAL_NAMES = ['"Best" of.txt', "<untitled>.txt", "a > b.txt", "Tom & Jerry.avi",
                 "Don't stop me now.mp3", "R&D budget.xls", "<<README>>", "x<y & y>z.doc",
                 "\"quoted\" 'both'.txt", "AT&T invoice.pdf", "O'Reilly.pdf",
                 "Q&A.txt", "&amp; literal.txt"]

