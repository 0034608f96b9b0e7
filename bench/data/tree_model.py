"""The synthetic disk tree behind both data generators.

gen_tree.py creates this tree on disk and gen_catalog.py writes it as a catalog file, so that a
scan benchmark and a load or search benchmark see the same kind of disk: music, photo, document,
video, software, source-code and backup folders with realistic names (blanks, dots, non-ASCII
letters, the XML specials), sizes from 0 B to about 12 GB and times from 1985 to 2025.

Everything follows from (entry count, seed, whether folders count as entries). Benchmark
figures are only comparable across changes while the same arguments give the same tree, so the
order in which values are drawn from the seeded generator is fixed: each theme below draws in
exactly the order its code reads, including draws whose value ends up unused.
"""

import calendar
import math
import random

from name_tables import (ARTISTS, BACKUP_DIRS, CODE_DIRS, CODE_EXT, CODE_FILES, DOC_DIRS,
                         DOC_EXT, DOC_STEMS, EVENTS, GENRES, MOVIES, PRODUCTS, SERIES,
                         SPECIAL_NAMES, VENDORS, WORDS, WORDS_DE, WORDS_FR, WORDS_X)

EARLIEST = calendar.timegm((1985, 1, 1, 0, 0, 0))
LATEST = calendar.timegm((2025, 12, 31, 23, 59, 59))
SINCE_1990 = calendar.timegm((1990, 1, 1, 0, 0, 0))
SINCE_1995 = calendar.timegm((1995, 1, 1, 0, 0, 0))
SINCE_2005 = calendar.timegm((2005, 1, 1, 0, 0, 0))
DEEPEST_FOLDER = 8      # levels below the root; deeper budgets become leaf folders
WIDEST_FOLDER = 40      # subfolders of one folder at most
KB, MB, GB = 1024, 1024 ** 2, 1024 ** 3

CAPITALIZED_WORDS = [word.capitalize() for word in WORDS]


class Weighted:
    """(value, weight) pairs with their total weight."""

    __slots__ = ("pairs", "total")

    def __init__(self, pairs):
        self.pairs = pairs
        self.total = sum(weight for _, weight in pairs)


class Dice:
    """Draws from one seeded generator.

    The helpers consume the generator exactly as random.Random's randint, choice, uniform and
    paretovariate do (same calls, same order, same arithmetic), so the data stay what they
    always were; they only skip that module's argument checks, which for the million draws of
    a large tree cost more than the draws themselves.
    """

    __slots__ = ("random", "bits")

    def __init__(self, seed):
        source = random.Random(seed)
        self.random = source.random
        self.bits = source.getrandbits

    def between(self, low, high):
        """An integer in [low, high]: as many random bits as the range needs, drawn again until
        they fall inside it, which is how random.Random picks an index too."""
        n = high - low + 1
        width = n.bit_length()
        value = self.bits(width)
        while value >= n:
            value = self.bits(width)
        return low + value

    def pick(self, items):
        # between(0, len - 1) written out: with between() these are most of the draws.
        n = len(items)
        width = n.bit_length()
        value = self.bits(width)
        while value >= n:
            value = self.bits(width)
        return items[value]

    def uniform(self, low, high):
        return low + (high - low) * self.random()

    def chance(self, probability):
        return self.random() < probability

    def pareto(self, alpha):
        return (1.0 - self.random()) ** (-1.0 / alpha)

    def log_uniform(self, low, high):
        """An integer in [low, high] whose logarithm is uniform: sizes spread over decades."""
        low, high = math.log(max(low, 1)), math.log(high)
        return int(math.exp(low + (high - low) * self.random()))

    def weighted(self, table):
        """One value of a Weighted table, by weight. Subtracts weight by weight rather than
        bisecting cumulative sums, whose rounding at the edges would pick differently."""
        remaining = self.uniform(0, table.total)
        for value, weight in table.pairs:
            remaining -= weight
            if remaining <= 0:
                return value
        return table.pairs[-1][0]

    def time(self, earliest=EARLIEST, latest=LATEST):
        return self.between(earliest, latest)

    def title(self, fewest=1, most=4):
        """A song, album or folder title: mostly English words, some German, French and other
        scripts, now and then a suffix or underscores for blanks."""
        words = []
        for _ in range(self.between(fewest, most)):
            roll = self.random()
            if roll < 0.90:
                words.append(self.pick(CAPITALIZED_WORDS))
            elif roll < 0.95:
                words.append(self.pick(WORDS_DE))
            elif roll < 0.98:
                words.append(self.pick(WORDS_FR))
            else:
                words.append(self.pick(WORDS_X))
        text = " ".join(words)
        roll = self.random()
        if roll < 0.03:
            text += " (Live)"
        elif roll < 0.05:
            text += " (Remastered)"
        elif roll < 0.06:
            text += " & " + self.pick(CAPITALIZED_WORDS)
        elif roll < 0.07:
            text = text.replace(" ", "_")
        return text


_year_spans = {}


def year_span(year):
    """First and last second of a year, UTC."""
    span = _year_spans.get(year)
    if span is None:
        span = (calendar.timegm((year, 1, 1, 0, 0, 0)), calendar.timegm((year, 12, 31, 23, 59, 59)))
        _year_spans[year] = span
    return span


class Node:
    """A file or folder. A folder's size is the sum of its children's, its time the newest."""

    __slots__ = ("name", "children", "size", "mtime")

    def __init__(self, name, children=None, size=0, mtime=0):
        self.name = name
        self.children = children      # None for a file, a list for a folder
        self.size = size
        self.mtime = mtime


# --------------------------------------------------------------------------- themes
# A theme says how the folders and files below one top folder ("Music") look, level by level
# (level 0 is the top folder). Every method draws from the dice even where its answer does not
# depend on the level, where the data always did.

class Theme:
    top_folder = "Misc"
    deepest_level = 6

    def entries_per_subfolder(self, dice, level, context):
        raise NotImplementedError

    def leaf_budget(self, dice, level, context):
        """A budget at or below this makes the folder a leaf holding only files."""
        raise NotImplementedError

    def loose_file_share(self, dice, level, context):
        """The share of a folder's budget kept as files beside its subfolders."""
        return dice.uniform(0.0, 0.15)

    def subfolder(self, dice, level, context, index):
        """(name, context for the subfolder's own levels)"""
        raise NotImplementedError

    def file(self, dice, level, context, index):
        """(name, size, mtime)"""
        raise NotImplementedError

    def leaf_extras(self, dice, level, context):
        """Files that tools leave beside the real ones (cover.jpg, Thumbs.db ...)."""
        return []


class Music(Theme):
    top_folder = "Music"
    deepest_level = 4
    EXTENSIONS = Weighted([("mp3", 70), ("flac", 10), ("ogg", 5), ("m4a", 8), ("wma", 5),
                           ("wav", 2)])
    BYTES_PER_MINUTE = {"mp3": MB, "ogg": 900 * KB, "m4a": MB, "wma": MB, "flac": 6 * MB,
                        "wav": 10 * MB}
    COVERS = ["cover.jpg", "folder.jpg", "Folder.jpg", "front.jpg"]

    def entries_per_subfolder(self, dice, level, context):
        per_level = [dice.uniform(800, 4000), dice.uniform(40, 250), dice.uniform(9, 20),
                     dice.uniform(8, 20)]
        return per_level[min(level, 3)]

    def leaf_budget(self, dice, level, context):
        return 0 if level < 3 else dice.between(14, 30)

    def loose_file_share(self, dice, level, context):
        return 0.0 if level < 1 else dice.uniform(0.0, 0.05)

    def subfolder(self, dice, level, context, index):
        if level == 0:      # genres
            return (GENRES[index] if index < len(GENRES) else dice.title(1, 2)), {}
        if level == 1:      # artists
            if dice.chance(0.35):
                artist = dice.pick(ARTISTS)
            else:
                artist = ("The " if dice.chance(0.3) else "") + dice.title(1, 3)
            return artist, {"artist": artist}
        if level == 2:      # albums
            year = dice.between(1960, 2025)
            album = dice.title(1, 4)
            roll = dice.random()
            if roll < 0.5:
                name = f"{year} - {album}"
            elif roll < 0.8:
                name = f"{album} ({year})"
            else:
                name = album
            return name, dict(context, year=year)
        return (f"CD{index + 1}" if dice.chance(0.8) else f"Disc {index + 1}"), context

    def file(self, dice, level, context, index):
        extension = dice.weighted(self.EXTENSIONS)
        song = dice.title(1, 5)
        roll = dice.random()
        if roll < 0.6:
            name = f"{index + 1:02d} - {song}.{extension}"
        elif roll < 0.85:
            name = f"{context.get('artist', 'Unknown')} - {song}.{extension}"
        elif roll < 0.95:
            name = f"{index + 1:02d}. {song}.{extension}"
        else:
            name = f"Track{index + 1:02d}.{extension}"
        size = int(self.BYTES_PER_MINUTE[extension] * dice.uniform(1.5, 9))
        year = context.get("year")
        if year and dice.chance(0.7):      # most tracks were ripped in the album's year
            mtime = dice.time(*year_span(max(1985, year)))
        else:
            mtime = dice.time()
        return name, size, mtime

    def leaf_extras(self, dice, level, context):
        if level < 3:
            return []
        extras = []
        if dice.chance(0.5):
            extras.append((dice.pick(self.COVERS), dice.log_uniform(20 * KB, 2 * MB)))
        if dice.chance(0.25):
            extras.append(("AlbumArtSmall.jpg", dice.log_uniform(2 * KB, 12 * KB)))
        if dice.chance(0.2):
            extras.append(("desktop.ini", dice.between(60, 400)))
        if dice.chance(0.08):
            extras.append((".DS_Store", dice.pick([6148, 8196, 12292])))
        if dice.chance(0.15):
            extras.append(("playlist.m3u", dice.between(0, 3000)))
        if dice.chance(0.05):
            extras.append(("info.nfo", dice.between(500, 9000)))
        return [(name, size, dice.time()) for name, size in extras]


class Photos(Theme):
    top_folder = "Photos"
    deepest_level = 4
    SUBFOLDERS = ["RAW", "edited", "Export web", "Auswahl", "print", "Panorama", "Video", "best",
                  "to sort"]

    def entries_per_subfolder(self, dice, level, context):
        per_level = [dice.uniform(500, 3000), dice.uniform(30, 200), dice.uniform(20, 150),
                     dice.uniform(10, 80)]
        return per_level[min(level, 3)]

    def leaf_budget(self, dice, level, context):
        return 0 if level < 2 else dice.between(20, 400)

    def loose_file_share(self, dice, level, context):
        return 0.0 if level < 2 else dice.uniform(0.3, 0.8)

    def subfolder(self, dice, level, context, index):
        if level == 0:      # years, repeating after 28 folders
            year = 1998 + index % 28
            return (str(year) if index < 28 else f"{year} ({index // 28 + 1})"), {"year": year}
        if level == 1:      # dated events; the photos of one were taken minutes apart
            year = context["year"]
            month, day = dice.between(1, 12), dice.between(1, 28)
            hour, minute = dice.between(6, 20), dice.between(0, 59)
            start = calendar.timegm((year, month, day, hour, minute, 0))
            name = f"{year}-{month:02d}-{day:02d} {dice.pick(EVENTS)}"
            return name, dict(context, t0=start)
        return dice.pick(self.SUBFOLDERS), context

    def file(self, dice, level, context, index):
        number = dice.between(1, 9999)
        roll = dice.random()
        if roll < 0.35:
            name, size = f"IMG_{number:04d}.JPG", dice.log_uniform(800 * KB, 9 * MB)
        elif roll < 0.55:
            name, size = f"DSC{number:05d}.JPG", dice.log_uniform(1 * MB, 12 * MB)
        elif roll < 0.65:
            name = f"P{dice.between(1000000, 1999999)}.JPG"
            size = dice.log_uniform(1 * MB, 6 * MB)
        elif roll < 0.72:
            name, size = f"IMG_{number:04d}.CR2", dice.log_uniform(8 * MB, 35 * MB)
        elif roll < 0.77:
            name, size = f"MVI_{number:04d}.MOV", dice.log_uniform(5 * MB, 3 * GB)
        elif roll < 0.85:
            name = f"IMG_2019{dice.between(101, 1231):04d}_{dice.between(0, 235959):06d}.jpg"
            size = dice.log_uniform(1 * MB, 8 * MB)
        elif roll < 0.90:
            name, size = f"Foto {number}.jpg", dice.log_uniform(50 * KB, 5 * MB)
        elif roll < 0.94:
            year, month, day = dice.between(2005, 2025), dice.between(1, 12), dice.between(1, 28)
            hour, minute, second = dice.between(0, 23), dice.between(0, 59), dice.between(0, 59)
            name = f"Screenshot {year}-{month:02d}-{day:02d} at {hour}.{minute:02d}.{second:02d}.png"
            size = dice.log_uniform(40 * KB, 4 * MB)
        elif roll < 0.97:
            name, size = f"PANO_{number:04d}.jpg", dice.log_uniform(5 * MB, 60 * MB)
        else:
            name = f"{dice.title(1, 3)}.jpg"
            size = dice.log_uniform(30 * KB, 6 * MB)
        start = context.get("t0")
        if start and dice.chance(0.9):
            mtime = start + index * dice.between(5, 120)
        else:
            mtime = dice.time()
        return name, size, min(mtime, LATEST)

    def leaf_extras(self, dice, level, context):
        extras = []
        if dice.chance(0.3):
            extras.append(("Thumbs.db", dice.log_uniform(10 * KB, 3 * MB)))
        if dice.chance(0.15):
            extras.append((".picasa.ini", dice.between(100, 5000)))
        if dice.chance(0.05):
            extras.append((".DS_Store", 6148))
        if dice.chance(0.03):       # resource forks copied from a Mac
            for _ in range(dice.between(1, 5)):
                extras.append((f"._IMG_{dice.between(1, 9999):04d}.JPG", 4096))
        return [(name, size, dice.time()) for name, size in extras]


class Documents(Theme):
    top_folder = "Documents"
    deepest_level = 7
    EXTENSIONS = Weighted(DOC_EXT)
    LARGEST = {"pdf": 30 * MB, "zip": 400 * MB, "ppt": 40 * MB}
    HIDDEN_FOLDERS = ["hidden", "private", "backup", "cache", "trash"]

    def entries_per_subfolder(self, dice, level, context):
        return dice.uniform(8, 80) if level > 0 else dice.uniform(200, 2000)

    def leaf_budget(self, dice, level, context):
        return dice.between(2, 60) if level > 0 else 0

    def loose_file_share(self, dice, level, context):
        return dice.uniform(0.0, 0.3)

    def subfolder(self, dice, level, context, index):
        roll = dice.random()
        if roll < 0.6:
            return dice.pick(DOC_DIRS), context
        if roll < 0.8:
            return f"{dice.pick(DOC_DIRS)} {dice.between(1990, 2025)}", context
        if roll < 0.95:
            return dice.title(1, 3), context
        return f".{dice.pick(self.HIDDEN_FOLDERS)}", context

    def file(self, dice, level, context, index):
        extension = dice.weighted(self.EXTENSIONS)
        roll = dice.random()
        if roll < 0.004:
            name = dice.pick(SPECIAL_NAMES)
        elif roll < 0.4:
            name = f"{dice.pick(DOC_STEMS)} {dice.between(1990, 2025)}"
        elif roll < 0.6:
            name = f"{dice.pick(DOC_STEMS)} {dice.title(1, 3)}"
        elif roll < 0.7:
            name = f"{dice.pick(DOC_STEMS)}_{dice.between(1, 999):03d}_v{dice.between(1, 9)}"
        elif roll < 0.78:
            name = f"Kopie von {dice.pick(DOC_STEMS)} {dice.title(1, 2)}"
        elif roll < 0.85:
            name = f"{dice.pick(DOC_STEMS)} {dice.pick(WORDS_DE)} & {dice.pick(WORDS_DE)}"
        elif roll < 0.88:
            name = "." + dice.pick(DOC_STEMS).lower()
        else:
            name = dice.title(1, 5)
        # Names that already end in something dotted, and "<<README>>", keep no extension.
        if extension and not name.startswith("<<") and "." not in name[-5:]:
            name += "." + extension
        if dice.chance(0.03):
            size = 0
        else:
            size = dice.log_uniform(1, self.LARGEST.get(extension, 3 * MB))
        return name, size, dice.time()

    def leaf_extras(self, dice, level, context):
        extras = []
        if dice.chance(0.05):
            extras.append(("desktop.ini", dice.between(60, 400)))
        if dice.chance(0.03):      # Office's and LibreOffice's lock files
            extras.append(("~$" + dice.pick(DOC_STEMS) + ".doc", 162))
        if dice.chance(0.03):
            extras.append((".~lock." + dice.pick(DOC_STEMS) + ".odt#", 90))
        return [(name, size, dice.time()) for name, size in extras]


class Video(Theme):
    top_folder = "Video"
    deepest_level = 4
    KINDS = ["Movies", "Series", "Home Videos", "Concerts", "Kids", "Dokus"]
    SERIES_KIND = 1
    DISC_FOLDERS = ["VIDEO_TS", "Extras", "Subs", "Sample", "CD1", "CD2"]
    SERIES_EXTENSIONS = ["avi", "mkv", "mp4"]
    SUBTITLE_LANGUAGES = ["de", "en", "fr"]
    SIDE_FILES = ["movie.nfo", "poster.jpg", "fanart.jpg", "VIDEO_TS.IFO", "VIDEO_TS.BUP"]

    def entries_per_subfolder(self, dice, level, context):
        per_level = [dice.uniform(100, 500), dice.uniform(3, 25), dice.uniform(4, 30),
                     dice.uniform(5, 30)]
        return per_level[min(level, 3)]

    def leaf_budget(self, dice, level, context):
        return 0 if level < 2 else dice.between(3, 30)

    def loose_file_share(self, dice, level, context):
        return 0.0 if level < 2 else dice.uniform(0.0, 0.2)

    def subfolder(self, dice, level, context, index):
        if level == 0:
            kind = self.KINDS[index] if index < len(self.KINDS) else dice.title(1, 2)
            return kind, {"kind": index % len(self.KINDS)}
        if level == 1:
            if context.get("kind") == self.SERIES_KIND:
                series = dice.pick(SERIES)
                return series, dict(context, series=series)
            movie = dice.pick(MOVIES) if dice.chance(0.5) else dice.title(1, 4)
            return f"{movie} ({dice.between(1927, 2025)})", dict(context, movie=movie)
        if level == 2 and "series" in context:
            return f"Season {index + 1:02d}", dict(context, season=index + 1)
        return dice.pick(self.DISC_FOLDERS), context

    def movie_name(self, dice, context):
        # A fallback title is drawn even inside a movie's folder, where it goes unused.
        fallback = dice.title()
        return context.get("movie", fallback)

    def file(self, dice, level, context, index):
        roll = dice.random()
        if "series" in context and roll < 0.8:
            extension = dice.pick(self.SERIES_EXTENSIONS)
            episode = f"S{context.get('season', 1):02d}E{index + 1:02d}"
            name = f"{context['series']} {episode} - {dice.title(1, 4)}.{extension}"
            size = dice.log_uniform(150 * MB, 3 * GB)
        elif roll < 0.3:
            name = f"{self.movie_name(dice, context)}.mkv"
            size = dice.log_uniform(700 * MB, 12 * GB)
        elif roll < 0.45:
            name = f"{self.movie_name(dice, context)}.avi"
            size = dice.log_uniform(600 * MB, 1500 * MB)
        elif roll < 0.55:
            name = f"{self.movie_name(dice, context)}.iso"
            size = dice.log_uniform(int(4.3 * GB), int(8.5 * GB))
        elif roll < 0.7:       # DVD title sets are exactly this size
            name, size = f"VTS_{dice.between(1, 9):02d}_{index % 9 + 1}.VOB", 1073739776
        elif roll < 0.8:
            movie = self.movie_name(dice, context)
            name = f"{movie}.{dice.pick(self.SUBTITLE_LANGUAGES)}.srt"
            size = dice.log_uniform(20 * KB, 150 * KB)
        elif roll < 0.88:
            name = f"{dice.title(1, 3)}.mp4"
            size = dice.log_uniform(5 * MB, 5 * GB)
        elif roll < 0.94:
            name = f"MOV{dice.between(1, 999):03d}.MPG"
            size = dice.log_uniform(10 * MB, 2 * GB)
        else:
            name = dice.pick(self.SIDE_FILES)
            size = dice.log_uniform(1 * KB, 1 * MB)
        return name, size, dice.time(SINCE_1995)


class Software(Theme):
    top_folder = "Software"
    deepest_level = 5
    PARTS = ["Disk1", "Disk2", "Setup", "Patches", "Crack", "Docs", "Support", "drivers", "x64",
             "x86", "Data", "Redist", "Fonts", "Plugins"]
    SETUP_FILES = ["setup.exe", "install.msi", "autorun.inf", "readme.txt", "license.txt",
                   "Setup.ini", "serial.txt"]
    SYSTEM_EXTENSIONS = ["sys", "inf", "cat", "ini", "hlp", "chm"]
    PROGRAM_EXTENSIONS = ["exe", "bin", "dat", "pak", "tar.gz"]

    def entries_per_subfolder(self, dice, level, context):
        per_level = [dice.uniform(100, 800), dice.uniform(10, 60), dice.uniform(5, 30)]
        return per_level[min(level, 2)]

    def leaf_budget(self, dice, level, context):
        return 0 if level < 1 else dice.between(3, 50)

    def subfolder(self, dice, level, context, index):
        if level == 0:
            return (VENDORS[index] if index < len(VENDORS) else dice.title(1, 2)), context
        if level == 1:
            return dice.pick(PRODUCTS), context
        return dice.pick(self.PARTS), context

    def file(self, dice, level, context, index):
        roll = dice.random()
        if roll < 0.04:
            name = f"{dice.pick(PRODUCTS).replace(' ', '-').lower()}.iso"
            size = dice.log_uniform(600 * MB, 9 * GB)
        elif roll < 0.10:
            name, size = dice.pick(self.SETUP_FILES), dice.log_uniform(100, 60 * MB)
        elif roll < 0.2:
            name, size = f"data{index}.cab", dice.log_uniform(1 * MB, 300 * MB)
        elif roll < 0.55:
            name = f"{dice.pick(CODE_FILES)}{dice.between(0, 99)}.dll"
            size = dice.log_uniform(10 * KB, 20 * MB)
        elif roll < 0.7:
            name, size = f"{dice.title(1, 2)}.zip", dice.log_uniform(10 * KB, 700 * MB)
        elif roll < 0.8:
            name = f"{dice.pick(CODE_FILES)}.{dice.pick(self.SYSTEM_EXTENSIONS)}"
            size = dice.log_uniform(1 * KB, 5 * MB)
        else:
            name = f"{dice.title(1, 3)}.{dice.pick(self.PROGRAM_EXTENSIONS)}"
            size = dice.log_uniform(1 * KB, 500 * MB)
        return name, size, dice.time()


class SourceCode(Theme):
    top_folder = "Projects"
    deepest_level = 7
    EXTENSIONS = Weighted(CODE_EXT)
    REPOSITORY_FOLDERS = [".git", ".svn"]
    TOOL_FOLDERS = [".vscode", ".idea", ".settings", "__pycache__", "node_modules"]
    PROJECT_FILES = ["Makefile", "CMakeLists.txt", "README.md", "LICENSE", ".gitignore",
                     "configure", "build.xml", "pom.xml", "package.json", ".project",
                     ".classpath", "Doxyfile"]

    def entries_per_subfolder(self, dice, level, context):
        return dice.uniform(300, 3000) if level == 0 else dice.uniform(6, 40)

    def leaf_budget(self, dice, level, context):
        return 0 if level == 0 else dice.between(3, 30)

    def loose_file_share(self, dice, level, context):
        return dice.uniform(0.05, 0.4)

    def subfolder(self, dice, level, context, index):
        if level == 0:
            return f"{dice.pick(CODE_FILES)}-{dice.pick(WORDS)}", {}
        # Many projects' first folder is their version control's, full of hashed names.
        if level == 1 and index == 0 and dice.chance(0.6):
            return dice.pick(self.REPOSITORY_FOLDERS), {"git": True}
        if context.get("git"):
            return f"{dice.between(0, 255):02x}", context
        if dice.chance(0.04):
            return dice.pick(self.TOOL_FOLDERS), context
        return dice.pick(CODE_DIRS), context

    def file(self, dice, level, context, index):
        if context.get("git"):
            return ("%038x" % dice.bits(152), dice.log_uniform(50, 200 * KB),
                    dice.time(SINCE_2005))
        if dice.chance(0.06):
            return dice.pick(self.PROJECT_FILES), dice.log_uniform(10, 80 * KB), dice.time()
        extension = dice.weighted(self.EXTENSIONS)
        stem = dice.pick(CODE_FILES)
        if dice.chance(0.4):
            stem += "_" + dice.pick(CODE_FILES)
        if dice.chance(0.2):
            stem = stem.capitalize()
        largest = 2 * MB if extension == "o" else 200 * KB
        return f"{stem}.{extension}", dice.log_uniform(1, largest), dice.time(SINCE_1990)


# The top folders in order, with their share of the entries. None stands for "Backup", whose
# dated folders each hold another theme's subtree.
THEMES = [(Music(), 28), (Photos(), 30), (Documents(), 17), (Video(), 2), (Software(), 6),
          (SourceCode(), 9), (None, 8)]
REAL_THEMES = [theme for theme, _ in THEMES if theme is not None]
ROOT_FILES = ["autorun.inf", "readme.txt", "desktop.ini", "Thumbs.db", ".DS_Store", "Inhalt.txt"]
EMPTY_FOLDERS = ["New Folder", "Neuer Ordner", "tmp", "old", "empty", "Nouveau dossier", ".cache",
                 "todo"]
EMPTY_FOLDER_TIMES_SEED = 12345


# --------------------------------------------------------------------------- building
class Folder:
    """A folder being filled: its node and the names already taken in it."""

    __slots__ = ("node", "taken")

    def __init__(self, node):
        self.node = node
        self.taken = {}

    def unique(self, name):
        """name, or "stem (2).ext", "stem (3).ext" ... when it is taken, as a file manager
        names copies. taken[name] remembers the last number used for that name."""
        taken = self.taken
        if name not in taken:
            taken[name] = 1
            return name
        stem, dot, extension = name.rpartition(".")
        if not dot or not stem:
            stem, extension = name, ""
        number = taken[name]
        while True:
            number += 1
            candidate = f"{stem} ({number}).{extension}" if extension else f"{stem} ({number})"
            if candidate not in taken:
                taken[name] = number
                taken[candidate] = 1
                return candidate

    def add_file(self, name, size, mtime):
        self.node.children.append(Node(self.unique(name), None, size, mtime))

    def add_folder(self, name):
        child = Node(self.unique(name), [])
        self.node.children.append(child)
        return Folder(child)


class TreeBuilder:
    """Spreads an entry budget over the themes' folders.

    In catalog mode folders count as entries too, so that a catalog of M entries has exactly M
    elements; in tree mode only files count, so that a tree of N files has exactly N files.
    """

    def __init__(self, seed, folders_count):
        self.dice = Dice(seed)
        self.folders_count = folders_count

    def split(self, total, ways):
        """total spread over `ways` parts of heavy-tailed sizes: a few big, many small."""
        weights = [self.dice.pareto(1.3) for _ in range(ways)]
        weight_sum = sum(weights)
        parts = [int(total * weight / weight_sum) for weight in weights]
        for j in range(total - sum(parts)):
            parts[j % ways] += 1
        return parts

    def fill(self, folder, theme, level, depth, budget, context):
        """Places `budget` entries below folder."""
        if budget <= 0:
            return
        dice = self.dice
        limit = theme.leaf_budget(dice, level, context)
        if level >= theme.deepest_level or depth >= DEEPEST_FOLDER or budget <= limit:
            extras = theme.leaf_extras(dice, level, context)
            real = max(budget - len(extras), 0)
            for index in range(real):
                folder.add_file(*theme.file(dice, level, context, index))
            for extra in extras[:budget - real]:
                folder.add_file(*extra)
            return
        per_subfolder = max(theme.entries_per_subfolder(dice, level, context), 1.0)
        subfolders = max(1 if budget < 4 else 2,
                         min(WIDEST_FOLDER, int(round(budget / per_subfolder))))
        loose = int(budget * theme.loose_file_share(dice, level, context))
        if level == 0:      # top folders hold only a few loose files
            loose = min(loose, dice.between(0, 6))
        empty = 1 if dice.chance(0.04) else 0
        if self.folders_count:
            subfolders = min(subfolders, max(1, (budget - loose - empty) // 2))
            rest = budget - loose - subfolders - empty
            if rest < 0:
                loose, empty, rest = max(budget - subfolders, 0), 0, 0
        else:
            rest = budget - loose
        for index in range(loose):
            folder.add_file(*theme.file(dice, level, context, index))
        for index, part in enumerate(self.split(rest, subfolders)):
            name, subcontext = theme.subfolder(dice, level, context, index)
            self.fill(folder.add_folder(name), theme, level + 1, depth + 1, part, subcontext)
        for _ in range(empty):
            folder.add_folder(dice.pick(EMPTY_FOLDERS))

    def fill_backup(self, folder, budget):
        dice = self.dice
        copies = max(1, min(12, budget // 3000))
        if self.folders_count:
            copies = min(copies, max(budget // 2, 0))
            budget -= copies
        parts = self.split(budget, copies) if copies else []
        for part in parts:
            copy = folder.add_folder(dice.pick(BACKUP_DIRS))
            self.fill(copy, dice.pick(REAL_THEMES), 0, 2, part, {})

    def build(self, root_name, total):
        dice = self.dice
        root = Folder(Node(root_name, []))
        budget = total - (1 if self.folders_count else 0)      # the root is an entry
        loose = min(5, budget // 100)
        top_folders = len(THEMES) + (1 if budget > 100 else 0)  # the themes and one empty one
        if self.folders_count:
            budget -= top_folders
        budget -= loose
        weight_sum = sum(weight for _, weight in THEMES)
        parts = [int(budget * weight / weight_sum) for _, weight in THEMES]
        parts[0] += budget - sum(parts)
        for _ in range(loose):
            root.add_file(dice.pick(ROOT_FILES), dice.log_uniform(10, 20000), dice.time())
        for (theme, _), part in zip(THEMES, parts):
            if theme is None:
                self.fill_backup(root.add_folder("Backup"), part)
            else:
                self.fill(root.add_folder(theme.top_folder), theme, 0, 1, part, {})
        if top_folders > len(THEMES):
            root.add_folder("Leerer Ordner")
        roll_up(root.node)
        date_empty_folders(root.node, Dice(EMPTY_FOLDER_TIMES_SEED))
        return root.node


def roll_up(node):
    """A folder's size is the sum of its children's and its time the newest of theirs (0 while
    it holds no file at any depth)."""
    size = mtime = 0
    for child in node.children:
        if child.children is not None:
            roll_up(child)
        size += child.size
        if child.mtime > mtime:
            mtime = child.mtime
    node.size = size
    node.mtime = mtime


def date_empty_folders(node, dice):
    """Folders without any file get a time of their own, drawn from a separate generator so
    that they do not shift the tree's draws; last child first, as the data always were."""
    if node.mtime == 0:
        node.mtime = dice.time()
    for child in reversed(node.children):
        if child.children is not None:
            date_empty_folders(child, dice)


def build_tree(total, seed, folders_count, root_name):
    """The root node of a tree of `total` files (folders_count False) or entries (True)."""
    return TreeBuilder(seed, folders_count).build(root_name, total)
