#!/usr/bin/env node
// A host application's side of velkor-calendar: spawn it, read its one line of JSON and its exit
// status. Lists the calendars, then a week of events of all of them.
//
//   node host.js [PROGRAM [FROM TO]]    PROGRAM defaults to velkor-calendar on PATH, FROM to
//                                       today, TO to a week after FROM (days as yyyy-MM-dd)
'use strict';
const { execFile } = require('node:child_process');

// Resolves to [exit status, JSON value or null]. Status 0 is the result, 2 the access report,
// 1 a command line the program refused (its usage line is on standard error).
function run(program, args) {
  return new Promise((resolve, reject) => {
    // `request` may wait up to 300 s for the user's answer; nothing else takes long.
    const child = execFile(program, args, { timeout: 330000, maxBuffer: 1 << 30 },
      (error, stdout, stderr) => {
        const status = error ? error.code : 0;
        if (typeof status !== 'number') return reject(error);  // not started, or killed
        if (status === 0 || status === 2) return resolve([status, JSON.parse(stdout)]);
        process.stderr.write(stderr);
        resolve([status, null]);
      });
    child.stdin.end();
  });
}

// A local day as yyyy-MM-dd.
function day(date) {
  const pad = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}

async function main() {
  const program = process.argv[2] || 'velkor-calendar';
  const today = new Date();
  let start = day(today);
  let end = day(new Date(today.getFullYear(), today.getMonth(), today.getDate() + 7));
  if (process.argv.length > 4) [start, end] = process.argv.slice(3, 5);

  let [status, calendars] = await run(program, ['calendars']);
  if (status === 2) {
    console.log(`no calendar access (${calendars.access}); \`${program} request\` asks for it`);
    return 2;
  }
  if (status !== 0) return status;
  const titles = new Map(calendars.map((c) => [c.id, c.title]));
  for (const c of calendars) console.log(`calendar ${c.title} (${c.account || 'no account'}, ${c.kind})`);
  if (calendars.length === 0) return 0;

  let events;
  [status, events] = await run(program, ['events', start, end, [...titles.keys()].join(',')]);
  if (status !== 0) return status;
  for (const e of events) {
    const when = e.allDay ? e.start.slice(0, 10) : `${e.start}-${e.end.slice(11)}`;
    const where = 'location' in e ? ` @ ${e.location}` : '';
    console.log(`${when} ${e.title}${where} [${titles.get(e.calendar)}]`);
  }
  return 0;
}

main().then((status) => { process.exitCode = status; });
