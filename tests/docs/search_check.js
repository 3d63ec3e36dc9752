// Runs the search of the HTML reference (search.js) without a browser: node search_check.js search.js WORD...
// prints, for each word, the four groups of matches as "NAME@LINK", separated by " | ".
const fs = require("fs");
const el = {addEventListener() {}, value: "", textContent: "", appendChild() {}};
global.document = {getElementById: () => el, createElement: () => ({appendChild() {}}), createTextNode: () => ({})};
eval(fs.readFileSync(process.argv[2], "utf8") + "\nglobal.search = search; global.ENTRIES = ENTRIES;");
for (const w of process.argv.slice(3)) {
  const g = search(w);
  console.log(w + ": " + g.map(x => x.map(i => ENTRIES[i][0].split("\n")[0] + "@" + ENTRIES[i][1]).join(" ")).join(" | "));
}
