// The browser's side of tools/compare-text.py: loads unpacked pages in headless Chromium with the
// pages' own scripts disabled, and writes document.body.innerText (and screenshots on request).
//
//   node tools/browser-text.js JOBS.json OUT.json
//
// JOBS.json: {"width": 1000, "height": 800, "chromium": "/usr/bin/chromium",
//             "pages": [{"file": "/abs/page.html", "png": "/abs/shot.png" (optional)}]}
// OUT.json:  [{"file": ..., "text": ... | null, "error": ... | null}]
// playwright-core is looked up through NODE_PATH (tools/install-measuring-tools.sh puts it under
// build/measure-node/node_modules).
'use strict';
const fs = require('fs');
const { chromium } = require('playwright-core');

async function main() {
  const [jobsName, outName] = process.argv.slice(2);
  if (!jobsName || !outName) {
    console.error('usage: node browser-text.js JOBS.json OUT.json');
    process.exit(2);
  }
  const jobs = JSON.parse(fs.readFileSync(jobsName, 'utf8'));
  const width = jobs.width || 1000;
  const height = jobs.height || 800;
  const browser = await chromium.launch({
    executablePath: jobs.chromium || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--font-render-hinting=none'],
  });
  // Scripts off for the page: the engine sees HTML and CSS alone, so the browser must too.
  // Our own evaluate() still runs (it does not go through the page's script switch).
  const context = await browser.newContext({
    javaScriptEnabled: false,
    viewport: { width, height },
    deviceScaleFactor: 1,
    offline: true,
  });
  const results = [];
  let page = await context.newPage();
  for (const job of jobs.pages) {
    const r = { file: job.file, text: null, error: null };
    try {
      await page.goto('file://' + job.file, { waitUntil: 'load', timeout: 30000 });
      r.text = await page.evaluate(() => {
        const b = document.body || document.documentElement;
        return b ? b.innerText : '';
      });
      if (job.png) await page.screenshot({ path: job.png, fullPage: true });
    } catch (e) {
      r.error = String(e && e.message ? e.message : e).split('\n')[0];
      try { await page.close(); } catch (_) {}
      page = await context.newPage();
    }
    results.push(r);
  }
  await browser.close();
  fs.writeFileSync(outName, JSON.stringify(results));
}

main().catch((e) => { console.error(e); process.exit(1); });
