#!/usr/bin/env bash
# エクセル起動 and ワード起動 attach to an office that already listens on our pipe:
# no second office starts, the new workbook is added there, a macro of the user's
# Basic library runs by name, and the office (not the run's own) is left running
# with its documents when the run ends.
source "$(dirname "$0")/../net/_lib.sh" "$1"
source "$(dirname "$0")/_lib.sh" needs-office

# The test's own office and a small UNO client to prepare and inspect it.
cat > "$WORK/client.py" << 'EOF'
import sys, time, uno
from com.sun.star.connection import NoConnectException
local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
url = "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % sys.argv[1]
for _ in range(1200):
    try:
        ctx = resolver.resolve(url)
        break
    except NoConnectException:
        time.sleep(0.1)
else:
    sys.exit("the office did not start")
smgr = ctx.ServiceManager
desktop = smgr.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
if sys.argv[2] == "prepare":   # a macro in the user's Standard library
    libs = smgr.createInstanceWithContext("com.sun.star.script.ApplicationScriptLibraryContainer", ctx)
    libs.loadLibrary("Standard")
    libs.getByName("Standard").insertByName("PorukanaTest",
        'Sub Mark\n Open "%s" For Output As #1\n Print #1, "user macro"\n Close #1\nEnd Sub\n' % sys.argv[3])
    libs.storeLibraries()
elif sys.argv[2] == "inspect":   # the documents the office holds
    e = desktop.getComponents().createEnumeration()
    while e.hasMoreElements():
        doc = e.nextElement()
        if doc.supportsService("com.sun.star.sheet.SpreadsheetDocument"):
            print("sheet A1=" + doc.getSheets().getByIndex(0).getCellByPosition(0, 0).getString())
        elif doc.supportsService("com.sun.star.text.TextDocument"):
            print("text " + doc.getText().getString())
else:
    for doc in list(desktop.getComponents()):
        doc.close(True)
    desktop.terminate()
EOF
soffice "-env:UserInstallation=file://$WORK/test-profile" --headless --invisible --norestore --nologo \
    --nodefault "--accept=pipe,name=$PORUKANA_OFFICE_PIPE;urp;StarOffice.ComponentContext" \
    > /dev/null 2>&1 < /dev/null &
OFFICE_PID=$!
"$PY" "$WORK/client.py" "$PORUKANA_OFFICE_PIPE" prepare "$WORK/mark.txt" || { fail "prepare the office"; finish; }
BEFORE=$(office_processes | sort)

run_prk attached << 'EOF'
エクセル起動
「0,0」を、「attached」に、エクセル設定
「Mark」を、エクセルマクロ実行
ワード起動
「ワードも」を、ワード文字挿入
「PorukanaTest.Mark」を、ワードマクロ実行
「済み」を、表示
EOF
expect_eq "$RC:$OUT" "0:済み" "the run on the attached office"
expect_eq "$(cat "$WORK/mark.txt" 2> /dev/null)" "user macro" "the user's macro ran"
expect_true "the attached office is still running" kill -0 "$OFFICE_PID"
expect_eq "$(office_processes | sort)" "$BEFORE" "no office process left beyond the test's own"
expect_eq "$("$PY" "$WORK/client.py" "$PORUKANA_OFFICE_PIPE" inspect | sort)" "sheet A1=attached
text ワードも" "the documents stay in the attached office"

"$PY" "$WORK/client.py" "$PORUKANA_OFFICE_PIPE" close
wait "$OFFICE_PID"
finish
