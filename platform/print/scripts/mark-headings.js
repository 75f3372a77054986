// Runs in a world of its own, apart from the page's scripts. Reads the title and author, and
// names for every heading the PDF destination that will say where it is printed.
//
// The engine records destinations only for elements that links of the page point at, so a
// heading that no link reaches gets an empty marker with a hidden link to it (both tagged with
// the job's token). Each destination costs the engine a little on every page it prints, so on
// long pages the markers go to the higher levels of heading only, as many as the budget
// allows (pages times markers); headings that links point at already cost nothing extra.
(function (token, pageHeight, budget) {
  var facts = {title: (document.title || '').trim(), author: '', headings: []};
  var meta = document.querySelector('meta[name="author" i]');
  if (meta)
    facts.author = (meta.getAttribute('content') || '').replace(/\s+/g, ' ').trim();
  if (!document.body)
    return facts;
  var here = location.href.split('#')[0];
  var linked = new Set();
  document.querySelectorAll('a[href*="#"], area[href*="#"]').forEach(function (link) {
    var target = link.href.split('#');
    if (target[0] === here && target[1]) {
      try { linked.add(decodeURIComponent(target[1])); } catch (e) { }
    }
  });
  // A link to another page beside this one whose text this page holds (the whole book holds
  // each chapter after an anchor named for its file: chapter03 for chapter03.html) leads to its
  // place here: the element of the link's fragment, else that anchor. It gets a hidden link
  // too, within the budget, so that the engine records the place.
  var pages = Math.max(1, Math.ceil(document.documentElement.scrollHeight / pageHeight));
  var held = function (name) {
    return name && (document.getElementById(name) || document.getElementsByName(name)[0])
        ? name : '';
  };
  var places = [];
  facts.places = [];
  document.querySelectorAll('a[href], area[href]').forEach(function (link) {
    var url;
    try { url = new URL(link.href); } catch (e) { return; }
    var page = url.pathname.match(/^(.*\/)([^\/]+)\.html?$/i);
    if (url.protocol !== 'file:' || url.href.split('#')[0] === here || !page
        || page[1] !== location.pathname.replace(/[^\/]*$/, ''))
      return;
    var file, fragment;
    try {
      file = decodeURIComponent(page[2]);
      fragment = decodeURIComponent(url.hash.slice(1));
    } catch (e) { return; }
    var name = held(file) && (held(fragment) || file);
    if (!name || (!linked.has(name) && (places.length + 1) * pages > budget))
      return;
    if (!linked.has(name)) {
      linked.add(name);
      places.push(name);
    }
    facts.places.push({link: url.href, destination: name});
  });
  budget -= places.length * pages;
  var named = function (element) {
    if (!element)
      return '';
    var name = element.id || (element.tagName === 'A' ? element.getAttribute('name') : '');
    return name && linked.has(name) ? name : '';
  };
  // A heading's own name or that of an empty anchor just before it, or the same for a box
  // that the heading opens.
  var existing = function (heading) {
    for (var box = heading; box && box !== document.body; box = box.parentElement) {
      var before = box.previousElementSibling;
      var name = named(box) || (before && before.tagName === 'A' && !before.textContent.trim()
                                ? named(before) : '');
      if (name)
        return name;
      if (!box.parentElement || box.parentElement.firstElementChild !== box)
        break;
    }
    return '';
  };
  var found = [];
  var fresh = [0, 0, 0, 0];
  document.querySelectorAll('h1, h2, h3').forEach(function (heading) {
    var text = (heading.textContent || '').replace(/\s+/g, ' ').trim().slice(0, 300);
    if (!text || found.length >= 10000)
      return;
    var level = Number(heading.tagName.charAt(1));
    var name = existing(heading);
    if (!name)
      ++fresh[level];
    found.push({heading: heading, name: name, title: text, level: level});
  });
  var deepest = 0;
  for (var level = 1, markers = 0; level <= 3; ++level) {
    markers += fresh[level];
    if (markers * pages > budget)
      break;
    deepest = level;
  }
  var links = document.createElement('div');
  links.hidden = true;
  links.setAttribute('data-print-mark', token);
  places.forEach(function (name) {
    var link = document.createElement('a');
    link.href = '#' + name;
    links.appendChild(link);
  });
  found.forEach(function (entry, i) {
    if (!entry.name) {
      if (entry.level > deepest)
        return;
      entry.name = token + '-' + i;
      var marker = document.createElement('span');
      marker.id = entry.name;
      marker.setAttribute('data-print-mark', token);
      entry.heading.insertBefore(marker, entry.heading.firstChild);
      var link = document.createElement('a');
      link.href = '#' + entry.name;
      links.appendChild(link);
    }
    facts.headings.push({destination: entry.name, title: entry.title, level: entry.level});
  });
  document.body.appendChild(links);
  return facts;
})('%1', %2, %3)
