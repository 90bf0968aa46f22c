// What the page asks of the module at most. The command takes up to 10,000,000 spans in a sag
// table and 2,000,000 rows in a profile file, streaming what it writes; the page holds the whole
// answer in memory several times over (the module's output, the text, the parsed JSON, the
// drawing), so a link or a dropped file could otherwise take the tab's memory past what a
// browser grants. The limits are said on the page and in each refusal.
'use strict';

(function () {
  const LIMITS = {
    sagSpans: 100000,       // rows of a sag table (about 46 MB of JSON at the limit)
    temperatures: 2000,     // rows of a stringing table
    sectionSpans: 1000,     // spans typed in the section tab
    fileMB: 20,             // any table the user gives
    towers: 2000,           // a line of about 700 km at usual spans
    terrain: 200000,        // a survey point every 5 m over 1,000 km
    crossings: 5000,
  };

  // The rows FROM:TO:STEP gives, as the command counts them (FROM, FROM + STEP, ... up to TO,
  // TO itself when the steps land on it); null when the fields are not a range the command would
  // take, which the command then refuses with its reason.
  function rangeCount(from, to, step) {
    const [a, b, s] = [from, to, step].map((x) => (String(x).trim() === '' ? NaN : Number(x)));
    if (![a, b, s].every(Number.isFinite) || s <= 0 || b < a) return null;
    return Math.floor((b - a) / s + 1e-9) + 1;
  }

  // The data rows of a CSV file: its lines that hold anything, less the header. Quoted cells
  // may hold line ends, so this may count more rows than there are: a bound, not a reading.
  function csvRows(bytes) {
    let rows = 0;
    let filled = false;
    for (let i = 0; i < bytes.length; ++i) {
      const c = bytes[i];
      if (c === 0x0a || c === 0x0d) {
        if (filled) rows += 1;
        filled = false;
      } else if (c !== 0x20 && c !== 0x09) {
        filled = true;
      }
    }
    if (filled) rows += 1;
    return Math.max(0, rows - 1);
  }

  window.VarnelLimits = Object.assign({ rangeCount, csvRows }, LIMITS);
}());
