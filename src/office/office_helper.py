#!/usr/bin/python3
# The office link of porukana: runs beside the interpreter and drives LibreOffice
# Calc and Writer over the UNO bridge, one request at a time.
#
# Channel: standard input and output (a socket the run-time made), UTF-8 lines.
# A request is  OP <TAB> ARG <TAB> ...  and a reply  ok <TAB> FIELD ...  or
# err <TAB> CODE <TAB> DETAIL; in every field a backslash, tab, line feed and
# carriage return are written \\ \t \n \r. The first line the helper writes is
# "ok <TAB> porukana-office <TAB> 1".
#
# With --life-line, file descriptor 3 is a life line: it never carries data, and when it reaches its
# end (the run-time ended, crashed or gave up on a call) a watch thread closes an
# office this helper started and ends the process, even while the main thread is
# stuck inside a call.
#
# Objects the run-time holds (an application, a document, a sheet) are numbers
# into this process's table. The office process is started with a private profile,
# an accept pipe of our own and, when no display is there (or PORUKANA_OFFICE_HEADLESS
# is 1), headless. Environment:
#   PORUKANA_OFFICE_PROGRAM   the soffice to start (default: "soffice" on PATH)
#   PORUKANA_OFFICE_PIPE      the accept pipe name (default porukana-office-UID)
#   PORUKANA_OFFICE_PROFILE   the profile folder (default: a new one per run)
#   PORUKANA_OFFICE_HEADLESS  1: never show the office
#   PORUKANA_OFFICE_TRACE     1: every request and its time on standard error
import math
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

PROTOCOL = "1"

# ---- channel ----------------------------------------------------------------------

_ESCAPES = {"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"}
_UNESCAPES = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}


def escape(text):
    return "".join(_ESCAPES.get(c, c) for c in text)


def unescape(field):
    out = []
    i = 0
    while i < len(field):
        c = field[i]
        if c == "\\":
            if i + 1 >= len(field) or field[i + 1] not in _UNESCAPES:
                raise OfficeError("protocol", "bad escape")
            out.append(_UNESCAPES[field[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def encode_line(fields):
    return ("\t".join(escape(f) for f in fields) + "\n").encode("utf-8", "surrogateescape")


def decode_line(raw):
    text = raw.decode("utf-8", "surrogateescape")
    return [unescape(f) for f in text.split("\t")]


class Channel:
    def __init__(self, fd_in, fd_out):
        self.fd_in = fd_in
        self.fd_out = fd_out
        self.buffer = b""

    def read(self):
        """The next request's fields, or None at the end of input."""
        while b"\n" not in self.buffer:
            try:
                chunk = os.read(self.fd_in, 65536)
            except InterruptedError:
                continue
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return decode_line(line)

    def write(self, fields):
        data = encode_line(fields)
        while data:
            n = os.write(self.fd_out, data)
            data = data[n:]


class OfficeError(Exception):
    """A failure reported to the run-time as err CODE DETAIL."""

    def __init__(self, code, detail=""):
        super().__init__(code, detail)
        self.code = code
        self.detail = detail


# ---- files, filters, texts ---------------------------------------------------------

# Filters for saving, by the file's extension; a name without a known extension is
# saved in the application's default format.
CALC_FILTERS = {
    "xlsx": "Calc MS Excel 2007 XML",
    "xls": "MS Excel 97",
    "ods": "calc8",
    "csv": "Text - txt - csv (StarCalc)",
    "txt": "Text - txt - csv (StarCalc)",
    "pdf": "calc_pdf_Export",
    "html": "HTML (StarCalc)",
    "htm": "HTML (StarCalc)",
}
WRITER_FILTERS = {
    "docx": "MS Word 2007 XML",
    "doc": "MS Word 97",
    "odt": "writer8",
    "rtf": "Rich Text Format",
    "txt": "Text (encoded)",
    "pdf": "writer_pdf_Export",
    "html": "HTML (StarWriter)",
    "htm": "HTML (StarWriter)",
}
DEFAULT_FILTER = {"calc": "Calc MS Excel 2007 XML", "writer": "MS Word 97"}

# Text encodings as the office's filters name them: CSV options take the number
# (MS_932 60, UTF-8 76), the text filter the name.
CSV_ENCODING = {"cp932": "60", "utf-8": "76"}
TEXT_ENCODING = {"cp932": "MS_932", "utf-8": "UTF8"}

DOCUMENT_SERVICE = {
    "calc": "com.sun.star.sheet.SpreadsheetDocument",
    "writer": "com.sun.star.text.TextDocument",
}


def extension(path):
    return os.path.splitext(path)[1].lower().lstrip(".")


def text_encoding(path):
    """UTF-8 for a file that decodes as UTF-8 (with or without its mark), else the
    Shift_JIS of the run-time's own text files."""
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return "cp932"
    try:
        data.decode("utf-8")
        return "utf-8"
    except UnicodeDecodeError:
        return "cp932"


def filter_for_save(kind, path):
    """(filter name, filter options) for saving a document of kind under path."""
    ext = extension(path)
    table = CALC_FILTERS if kind == "calc" else WRITER_FILTERS
    name = table.get(ext, DEFAULT_FILTER[kind])
    options = ""
    if name == "Text - txt - csv (StarCalc)":
        options = "44,34,%s,1" % CSV_ENCODING["cp932"]
    elif name == "Text (encoded)":
        options = "%s,CRLF,," % TEXT_ENCODING["cp932"]
    return name, options


def filter_for_open(kind, path):
    """(filter name, options) for text files, whose type the office would guess;
    (None, None) lets the office detect the type."""
    ext = extension(path)
    if ext not in ("csv", "txt"):
        return None, None
    enc = text_encoding(path)
    if kind == "calc":
        return "Text - txt - csv (StarCalc)", "44,34,%s,1" % CSV_ENCODING[enc]
    return "Text (encoded)", "%s,CRLF,," % TEXT_ENCODING[enc]


def file_url(path):
    import uno

    return uno.systemPathToFileUrl(os.path.abspath(path))


def split_paragraphs(text):
    """The text cut at CR LF, CR or LF: what a script calls lines."""
    return re.split(r"\r\n|\r|\n", text)


def number_text(value):
    """A cell's number as text: whole numbers without a fraction, others with up to
    15 significant digits."""
    if math.isnan(value) or math.isinf(value):
        return str(value)
    if value == int(value) and abs(value) < 1e15:
        return str(int(value))
    return re.sub(r"E([+-])0*(\d)", r"E\1\2", "%.15G" % value)


def serial_to_datetime_text(serial, with_date, with_time):
    """A spreadsheet serial date (days since 1899-12-30) as YYYY/MM/DD, H:MM:SS or
    both."""
    import datetime

    day = math.floor(serial)
    seconds = int(round((serial - day) * 86400))
    if seconds >= 86400:
        day += 1
        seconds -= 86400
    parts = []
    if with_date:
        d = datetime.date(1899, 12, 30) + datetime.timedelta(days=day)
        parts.append("%04d/%02d/%02d" % (d.year, d.month, d.day))
    if with_time or not with_date:
        parts.append("%d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60))
    return " ".join(parts)


# Number-format types of the office (com.sun.star.util.NumberFormat).
NF_DATE, NF_TIME, NF_LOGICAL = 2, 4, 1024


def macro_pattern(name):
    return re.compile(r"^[ \t]*(?:(?:public|private|static)[ \t]+)*(?:sub|function)[ \t]+"
                      + re.escape(name) + r"\b", re.IGNORECASE | re.MULTILINE)


def uno_message(e):
    """The first line of an office exception's message, without its source location."""
    text = getattr(e, "Message", None) or str(e)
    text = text.strip().splitlines()[0] if text.strip() else type(e).__name__
    return re.sub(r"\s+at \./\S+:\d+$", "", text)


# ---- the office process ------------------------------------------------------------


class Office:
    """The connection to one office process, started by us or found running on our
    pipe."""

    def __init__(self):
        self.proc = None        # the office we started (None when attached)
        self.private = None     # our folder for its profile and temporary files
        self.ctx = None
        self.desktop = None
        # Windows can be shown only in an office we started with a display: a
        # headless one (or one we know nothing about) gets hidden documents.
        self.can_show = False

    def pipe_name(self):
        return os.environ.get("PORUKANA_OFFICE_PIPE") or "porukana-office-%d" % os.getuid()

    def alive(self):
        if self.desktop is None:
            return False
        if self.proc is not None and self.proc.poll() is not None:
            return False
        try:
            self.desktop.getComponents()
            return True
        except Exception:
            return False

    def connect_once(self, resolver):
        from com.sun.star.connection import NoConnectException

        url = "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe_name()
        try:
            return resolver.resolve(url)
        except NoConnectException:
            return None

    def ensure(self, timeout):
        """Connects to our running office or starts one."""
        if self.alive():
            return
        self.kill()   # an office of ours that ended: its folder goes too
        self.forget()
        program = os.environ.get("PORUKANA_OFFICE_PROGRAM") or shutil.which("soffice")
        if not program or not os.access(program, os.X_OK):
            raise OfficeError("nosuite")
        try:
            import uno
        except ImportError:
            raise OfficeError("nobridge")
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        ctx = self.connect_once(resolver)
        if ctx is None:
            ctx = self.start(program, resolver, timeout)
        self.ctx = ctx
        self.desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)

    def start(self, program, resolver, timeout):
        deadline = time.monotonic() + timeout
        headless = (os.environ.get("PORUKANA_OFFICE_HEADLESS") == "1"
                    or not (os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"))
                    or not has_window_plugin(program))
        self.private = tempfile.mkdtemp(prefix="porukana-office-")
        profile = os.environ.get("PORUKANA_OFFICE_PROFILE") or os.path.join(self.private, "profile")
        # The office leaves files in its temporary folder; ours goes with the run.
        env = dict(os.environ, TMPDIR=os.path.join(self.private, "tmp"))
        os.mkdir(env["TMPDIR"])
        import uno

        for attempt_headless in ([True] if headless else [False, True]):
            args = [program, "-env:UserInstallation=" + uno.systemPathToFileUrl(os.path.abspath(profile)),
                    "--norestore", "--nologo", "--nodefault", "--nolockcheck",
                    "--accept=pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe_name()]
            if attempt_headless:
                args[2:2] = ["--headless", "--invisible"]
            self.can_show = not attempt_headless
            try:
                self.proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL, start_new_session=True, env=env)
            except OSError:
                self.kill()
                raise OfficeError("nosuite")
            while time.monotonic() < deadline:
                ctx = self.connect_once(resolver)
                if ctx is not None:
                    return ctx
                if self.proc.poll() is not None:
                    break
                time.sleep(0.1)
            else:
                self.kill()
                raise OfficeError("starttimeout", str(int(timeout)))
            self.proc = None   # ended before it answered: try headless, or give up
        self.kill()
        raise OfficeError("startfail")

    def documents(self, kind=None):
        """The open documents (of one kind), oldest first."""
        out = []
        e = self.desktop.getComponents().createEnumeration()
        while e.hasMoreElements():
            c = e.nextElement()
            if not hasattr(c, "supportsService"):
                continue
            for k, service in DOCUMENT_SERVICE.items():
                if (kind is None or kind == k) and c.supportsService(service):
                    out.append(c)
        return out

    def terminate(self):
        """Ends the office: documents closed unsaved (their lock files go), then the
        process; one we started is killed when it does not end in time."""
        if self.desktop is not None:
            try:
                for doc in self.documents():
                    close_document(doc)
                self.desktop.terminate()
            except Exception:
                pass
        if self.proc is not None:
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        self.kill()
        self.forget()

    def kill(self):
        if self.proc is not None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except OSError:
                pass
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                pass
            self.proc = None
        if self.private:
            shutil.rmtree(self.private, ignore_errors=True)
            self.private = None

    def forget(self):
        self.ctx = None
        self.desktop = None
        self.can_show = False


def has_window_plugin(program):
    """True when the office can open windows: an installation without a window
    plug-in beside its program (the "nogui" packages) runs headless even when told
    otherwise, and fails on the first visible document."""
    import glob

    folder = os.path.dirname(os.path.realpath(program))
    return bool(glob.glob(os.path.join(folder, "libvclplug_*")))


def close_document(doc):
    try:
        doc.setModified(False)
    except Exception:
        pass
    try:
        doc.close(True)
    except Exception:
        try:
            doc.dispose()
        except Exception:
            pass


# ---- the objects the run-time holds -----------------------------------------------


class App:
    """Calc or Writer as an application: its documents are the office's documents
    of that kind; the active one is the last one it added or opened."""

    def __init__(self, office, kind):
        self.office = office
        self.kind = kind
        self.active = None
        self.visible = False
        self.quit = False


class Doc:
    def __init__(self, app, model):
        self.app = app
        self.model = model


class Sheet:
    def __init__(self, doc, sheet):
        self.doc = doc
        self.sheet = sheet


def pv(name, value):
    from com.sun.star.beans import PropertyValue

    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


class Session:
    def __init__(self):
        self.office = Office()
        self.objects = {}
        self.next_id = 1
        self.apps = {}

    # -- table --
    def add(self, obj):
        for k, v in self.objects.items():
            if v is obj:
                return str(k)
        key = self.next_id
        self.next_id += 1
        self.objects[key] = obj
        return str(key)

    def get(self, key, cls):
        try:
            obj = self.objects[int(key)]
        except (ValueError, KeyError):
            raise OfficeError("protocol", "no object " + key)
        if not isinstance(obj, cls):
            raise OfficeError("protocol", "wrong object " + key)
        app = obj if isinstance(obj, App) else obj.app if isinstance(obj, Doc) else obj.doc.app
        if app.quit:
            raise OfficeError("quit")
        if app.office.desktop is None:
            raise OfficeError("disconnected")
        return obj

    def doc_of(self, key):
        obj = self.get(key, (Doc, Sheet))
        return obj if isinstance(obj, Doc) else obj.doc

    def wrap(self, app, model):
        for obj in self.objects.values():
            if isinstance(obj, Doc) and obj.app is app and obj.model == model:
                return obj
        return Doc(app, model)

    def load(self, app, url, extra):
        shown = app.visible and app.office.can_show
        args = [pv("Hidden", not shown), pv("MacroExecutionMode", 4)] + extra
        model = app.office.desktop.loadComponentFromURL(url, "_blank", 0, tuple(args))
        return model

    # -- application --
    def op_attach(self, kind, timeout_ms):
        if kind not in DOCUMENT_SERVICE:
            raise OfficeError("protocol", "kind " + kind)
        self.office.ensure(max(1.0, int(timeout_ms) / 1000.0))
        app = self.apps.get(kind)
        if app is None or app.quit:
            app = self.apps[kind] = App(self.office, kind)
        pid = self.office.proc.pid if self.office.proc is not None else 0
        return [self.add(app), str(pid)]

    def op_application(self, key):
        return [self.add(self.get(key, App))]

    def op_visible(self, key, flag):
        app = self.get(key, App)
        app.visible = flag == "1"
        if not app.office.can_show:
            return []
        for doc in app.office.documents(app.kind):
            try:
                doc.getCurrentController().getFrame().getContainerWindow().setVisible(app.visible)
            except Exception:
                pass
        return []

    def op_add(self, key):
        app = self.get(key, App)
        factory = "private:factory/scalc" if app.kind == "calc" else "private:factory/swriter"
        model = self.load(app, factory, [])
        if model is None:
            raise OfficeError("uno", "new document")
        doc = Doc(app, model)
        app.active = doc
        return [self.add(doc)]

    def active_doc(self, app):
        if app.active is not None:
            try:
                if app.active.model in app.office.documents(app.kind):
                    return app.active
            except Exception:
                pass
        docs = app.office.documents(app.kind)
        current = app.office.desktop.getCurrentComponent()
        for model in docs:
            if current is not None and model == current:
                app.active = self.wrap(app, model)
                return app.active
        if not docs:
            app.active = None
            raise OfficeError("noactive")
        app.active = self.wrap(app, docs[-1])
        return app.active

    def op_activedoc(self, key):
        return [self.add(self.active_doc(self.get(key, App)))]

    def op_activesheet(self, key):
        app = self.get(key, App)
        if app.kind != "calc":
            raise OfficeError("protocol", "no sheets")
        doc = self.active_doc(app)
        sheet = None
        try:
            sheet = doc.model.getCurrentController().getActiveSheet()
        except Exception:
            pass
        if sheet is None:
            sheet = doc.model.getSheets().getByIndex(0)
        for obj in self.objects.values():
            if isinstance(obj, Sheet) and obj.doc is doc and obj.sheet == sheet:
                return [self.add(obj)]
        return [self.add(Sheet(doc, sheet))]

    def op_open(self, key, path):
        app = self.get(key, App)
        if not os.path.isfile(path):
            raise OfficeError("notfound")
        name, options = filter_for_open(app.kind, path)
        extra = [pv("FilterName", name), pv("FilterOptions", options)] if name else []
        try:
            model = self.load(app, file_url(path), extra)
        except Exception as e:
            if type(e).__name__ in ("IllegalArgumentException", "IOException"):
                raise OfficeError("open", uno_message(e))
            raise
        if model is None:
            raise OfficeError("open", "")
        if not model.supportsService(DOCUMENT_SERVICE[app.kind]):
            close_document(model)
            raise OfficeError("wrongkind", app.kind)
        doc = self.wrap(app, model)
        app.active = doc
        return [self.add(doc)]

    def op_saveas(self, key, path):
        doc = self.get(key, Doc)
        folder = os.path.dirname(os.path.abspath(path))
        if not os.path.isdir(folder):
            raise OfficeError("savefolder")
        if os.path.isdir(path):
            raise OfficeError("save", "")
        name, options = filter_for_save(doc.app.kind, path)
        args = [pv("FilterName", name), pv("Overwrite", True)]
        if options:
            args.append(pv("FilterOptions", options))
        try:
            if name.endswith("_pdf_Export"):
                doc.model.storeToURL(file_url(path), tuple(args))
            else:
                doc.model.storeAsURL(file_url(path), tuple(args))
        except Exception as e:
            if type(e).__name__ in ("IOException", "IllegalArgumentException", "ErrorCodeIOException"):
                raise OfficeError("save", uno_message(e))
            raise
        return []

    def op_setsaved(self, key):
        doc = self.get(key, Doc)
        doc.model.setModified(False)
        return []

    def op_closeall(self, key):
        app = self.get(key, App)
        for model in app.office.documents(app.kind):
            close_document(model)
        app.active = None
        return []

    def op_quit(self, key):
        app = self.objects.get(int(key)) if key.isdigit() else None
        if not isinstance(app, App):
            raise OfficeError("protocol", "no application " + key)
        if app.quit:
            return []   # both application slots name the same object
        app.quit = True
        office = app.office
        others = [a for a in self.apps.values() if not a.quit]
        if office.desktop is not None and not others:
            try:
                remaining = office.documents()
            except Exception:
                remaining = []
            if not remaining:
                office.terminate()
        return []

    # -- cells --
    def cell(self, key, row, col):
        sheet = self.get(key, Sheet)
        r, c = int(row), int(col)
        if r < 1 or c < 1:
            raise OfficeError("cell")
        try:
            return sheet, sheet.sheet.getCellByPosition(c - 1, r - 1)
        except Exception as e:
            if type(e).__name__ == "IndexOutOfBoundsException":
                raise OfficeError("cell")
            raise

    def op_setcell(self, key, row, col, text):
        _, cell = self.cell(key, row, col)
        cell.setFormula(text)
        return []

    def op_getcell(self, key, row, col):
        sheet, cell = self.cell(key, row, col)
        from com.sun.star.table.CellContentType import EMPTY, TEXT

        kind = cell.getType()
        if kind == EMPTY:
            return [""]
        if kind == TEXT or cell.getError() != 0:
            return [cell.getString()]
        try:   # a formula whose result is a text
            from com.sun.star.sheet.FormulaResult import STRING

            if cell.FormulaResultType2 == STRING:
                return [cell.getString()]
        except Exception:
            pass
        value = cell.getValue()
        try:
            nftype = sheet.doc.model.getNumberFormats().getByKey(cell.NumberFormat).Type
        except Exception:
            nftype = 0
        if nftype & NF_LOGICAL:
            return ["True" if value else "False"]
        if nftype & (NF_DATE | NF_TIME):
            return [serial_to_datetime_text(value, bool(nftype & NF_DATE), bool(nftype & NF_TIME))]
        return [number_text(value)]

    # -- word processing --
    def op_bookmark(self, key, name, text):
        doc = self.get(key, Doc)
        marks = doc.model.getBookmarks()
        if not marks.hasByName(name):
            raise OfficeError("bookmark")
        anchor = marks.getByName(name).getAnchor()
        parts = split_paragraphs(text)
        anchor.setString(parts[0])
        if len(parts) > 1:
            cursor = anchor.getText().createTextCursorByRange(anchor.getEnd())
            insert_paragraphs(cursor.getText(), cursor, parts[1:])
        return []

    def op_append(self, key, text):
        doc = self.get(key, Doc)
        body = doc.model.getText()
        parts = split_paragraphs(text)
        body.insertString(body.getEnd(), parts[0], False)
        if len(parts) > 1:
            insert_paragraphs(body, body.getEnd(), parts[1:])
        return []

    def op_text(self, key):
        doc = self.get(key, Doc)
        text = doc.model.getText().getString()
        return ["\r\n".join(split_paragraphs(text))]

    # -- macros and printing --
    def op_run(self, key, name):
        app = self.get(key, App)
        script, location = self.find_macro(app, name)
        try:
            script.invoke((), (), ())
        except Exception as e:
            raise OfficeError("macrofail", uno_message(e))
        return []

    def find_macro(self, app, name):
        """The script of a Basic macro named "Macro", "Module.Macro" or
        "Library.Module.Macro" (a "Book!" prefix is ignored): the active document's
        libraries first, then the other documents', then the user's."""
        name = name.split("!")[-1].strip()
        parts = name.split(".")
        if not name or len(parts) > 3 or not all(parts):
            raise OfficeError("macro")
        office = app.office
        containers = []
        try:
            active = self.active_doc(app).model
        except OfficeError:
            active = None
        docs = office.documents(app.kind)
        if active is not None:
            docs = [active] + [d for d in docs if d != active]
        for model in docs:
            try:
                containers.append((model.BasicLibraries, "document", model))
            except Exception:
                pass
        smgr = office.ctx.ServiceManager
        try:
            containers.append((smgr.createInstanceWithContext(
                "com.sun.star.script.ApplicationScriptLibraryContainer", office.ctx), "application", None))
        except Exception:
            pass
        for libraries, location, model in containers:
            found = find_in_libraries(libraries, parts)
            if found is None:
                continue
            uri = "vnd.sun.star.script:%s?language=Basic&location=%s" % (found, location)
            if model is not None:
                provider = model.getScriptProvider()
            else:
                factory = smgr.createInstanceWithContext(
                    "com.sun.star.script.provider.MasterScriptProviderFactory", office.ctx)
                provider = factory.createScriptProvider("")
            try:
                return provider.getScript(uri), location
            except Exception:
                continue
        raise OfficeError("macro")

    def op_print(self, key):
        doc = self.doc_of(key)
        obj = self.objects[int(key)]
        printer = {p.Name: p.Value for p in doc.model.getPrinter()}
        if not printer.get("Name"):
            raise OfficeError("noprinter")
        # A sheet prints alone: the other sheets are hidden while it prints.
        hidden = []
        modified = doc.model.isModified()
        try:
            if isinstance(obj, Sheet):
                sheets = doc.model.getSheets()
                for i in range(sheets.getCount()):
                    other = sheets.getByIndex(i)
                    if other != obj.sheet and other.IsVisible:
                        other.IsVisible = False
                        hidden.append(other)
            doc.model.print((pv("Wait", True),))
        except Exception as e:
            raise OfficeError("print", uno_message(e))
        finally:
            for other in hidden:
                other.IsVisible = True
            doc.model.setModified(modified)
        return []

    def close(self):
        """At the end of the run: an office we started is closed with everything in
        it; one we attached to is left as it is."""
        if self.office.proc is not None or self.office.private:
            self.office.terminate()


def insert_paragraphs(text, position, parts):
    from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK

    cursor = text.createTextCursorByRange(position)
    for part in parts:
        text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        text.insertString(cursor, part, False)


def find_in_libraries(libraries, parts):
    """"Library.Module.Macro" for the first module of the libraries that defines the
    macro, or None."""
    macro = parts[-1]
    want_module = parts[-2] if len(parts) >= 2 else None
    want_library = parts[0] if len(parts) == 3 else None
    pattern = macro_pattern(macro)
    names = list(libraries.getElementNames())
    if "Standard" in names:   # the default library is searched first
        names.remove("Standard")
        names.insert(0, "Standard")
    for lib_name in names:
        if want_library is not None and lib_name.lower() != want_library.lower():
            continue
        try:
            if not libraries.isLibraryLoaded(lib_name):
                libraries.loadLibrary(lib_name)
            library = libraries.getByName(lib_name)
        except Exception:
            continue
        for module in library.getElementNames():
            if want_module is not None and module.lower() != want_module.lower():
                continue
            source = library.getByName(module)
            if isinstance(source, str) and pattern.search(source):
                return "%s.%s.%s" % (lib_name, module, macro)
    return None


# ---- main -------------------------------------------------------------------------


def map_exception(session, e):
    """An exception out of a call as (code, detail)."""
    if isinstance(e, OfficeError):
        return e.code, e.detail
    name = type(e).__name__
    office = session.office
    if name == "DisposedException" or (office.desktop is not None and not office.alive()):
        if office.desktop is not None and not office.alive():
            office.kill()
            office.forget()
            return "disconnected", uno_message(e)
        return "closed", uno_message(e)
    if hasattr(e, "Message"):
        return "uno", uno_message(e)
    return "internal", "%s: %s" % (name, e)


OPS = {
    "attach": Session.op_attach, "application": Session.op_application, "visible": Session.op_visible,
    "add": Session.op_add, "activedoc": Session.op_activedoc, "activesheet": Session.op_activesheet,
    "open": Session.op_open, "saveas": Session.op_saveas, "setsaved": Session.op_setsaved,
    "closeall": Session.op_closeall, "quit": Session.op_quit, "setcell": Session.op_setcell,
    "getcell": Session.op_getcell, "bookmark": Session.op_bookmark, "append": Session.op_append,
    "text": Session.op_text, "run": Session.op_run, "print": Session.op_print,
}


def handle(session, fields):
    op = OPS.get(fields[0])
    if op is None or op.__code__.co_argcount != len(fields):
        raise OfficeError("protocol", "bad request " + fields[0])
    return op(session, *fields[1:])


def watch_life_line(session, fd):
    try:
        while os.read(fd, 1):
            pass
    except OSError:
        pass
    # the run-time is gone: never leave an office of ours behind
    try:
        if session.office.proc is not None:
            os.killpg(session.office.proc.pid, signal.SIGKILL)
        if session.office.private:
            shutil.rmtree(session.office.private, ignore_errors=True)
    finally:
        os._exit(0)


def main():
    signal.signal(signal.SIGINT, signal.SIG_IGN)
    session = Session()

    def on_term(signum, frame):
        session.close()
        os._exit(0)

    signal.signal(signal.SIGTERM, on_term)
    # The protocol owns the real standard output; stray prints go to stderr.
    if "--life-line" in sys.argv[1:]:
        threading.Thread(target=watch_life_line, args=(session, 3), daemon=True).start()
    out_fd = os.dup(1)
    os.dup2(2, 1)
    channel = Channel(0, out_fd)
    trace = os.environ.get("PORUKANA_OFFICE_TRACE") == "1"
    channel.write(["ok", "porukana-office", PROTOCOL])
    try:
        while True:
            try:
                fields = channel.read()
            except OfficeError as e:
                channel.write(["err", e.code, e.detail])
                continue
            if fields is None or fields == ["bye"]:
                break
            began = time.monotonic()
            try:
                reply = ["ok"] + handle(session, fields)
            except Exception as e:
                code, detail = map_exception(session, e)
                reply = ["err", code, detail]
            if trace:
                sys.stderr.write("office: %s -> %s (%d ms)\n" % (
                    " ".join(fields), " ".join(reply), (time.monotonic() - began) * 1000))
            channel.write(reply)
    finally:
        session.close()
        try:
            channel.write(["ok"])
        except OSError:
            pass


if __name__ == "__main__":
    main()
